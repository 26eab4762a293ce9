// The shared library's own translation unit; its code comes from
// vidscribe_core (and the MP4 module), linked in whole.
namespace vidscribe {
extern const char kLibraryVersion[];
const char kLibraryVersion[] = "1.0.0";
}  // namespace vidscribe
