#pragma once
// Sends the MP4 module's diagnostics to the library's log channel, tagged
// "Mp4" for the writer side and "Mp4Reader" for the reader side.
namespace vidscribe {

// Safe to call from every constructor; installs the route once.
void RouteMp4FileLog();

}  // namespace vidscribe
