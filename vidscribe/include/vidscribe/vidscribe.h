// Public interface of libvidscribe: the classes a host uses to record, read
// and edit FLV files. Everything not declared here is internal to the
// library and hidden from its dynamic symbol table.
//
// No exception leaves any operation declared here: results are bool or int
// codes, as each operation documents.
#ifndef VIDSCRIBE_VIDSCRIBE_H
#define VIDSCRIBE_VIDSCRIBE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#define VIDSCRIBE_API __attribute__((visibility("default")))

namespace vidscribe {

// FLV tag types.
enum FlvTagType : uint8_t { kAudioTag = 8, kVideoTag = 9, kScriptTag = 18 };
// Codec ids of SetVideo and sound formats of SetAudio, as FLV numbers them.
constexpr int kCodecVp6 = 4;
constexpr int kCodecAvc = 7;
constexpr int kSoundAac = 10;
// What Vidscriber::ParseTag reports a tag to be.
enum TagKind : uint8_t {
  kKindConfig = 0,
  kKindAudio = 1,
  kKindVideo = 2,
  kKindKeyVideo = 3,
  kKindOther = 255
};
// H.264 NAL unit types (the low five bits of a unit's first byte).
enum H264UnitType : int {
  kUnitSlice = 1,
  kUnitIdr = 5,
  kUnitSei = 6,
  kUnitSps = 7,
  kUnitPps = 8,
  kUnitDelimiter = 9,
};
inline int UnitType(const uint8_t* unit) {
  return unit[0] & 0x1F;
}

// What a recording or a file holds. Codecs as above: -1 when the stream is
// absent, 0 when a file declares it but no frame has been seen yet. The
// picture size is the shown one (the SPS cropping applied).
struct MediaDescription {
  int32_t videoCodec = -1;
  int32_t width = 0;
  int32_t height = 0;
  double framerate = 0.0;
  int32_t audioCodec = -1;
  int32_t sampleRate = 0;
  int32_t channels = 0;
  int32_t aacProfile = 2;
  uint32_t duration = 0;       // ms
  uint32_t videoDuration = 0;  // ms, of each MP4 track
  uint32_t audioDuration = 0;
  uint32_t videoFrames = 0;
  uint32_t audioFrames = 0;
  uint32_t keyFrames = 0;
  // FLV: entries of the key-frame index (loaded from onMetaData, or taken
  // while recording).
  uint32_t indexedKeyFrames = 0;
};

// ---------------------------------------------------------------------------
// Raw stream helpers, for hosts that read H.264 Annex B and ADTS streams
// from files (the writers find everything they need in the frames alone).
// ---------------------------------------------------------------------------

// First byte of the next start code in [from, end): the 00 00 01, or the
// leading zero of 00 00 00 01. end when there is none.
VIDSCRIBE_API const uint8_t* FindStartCode(const uint8_t* from, const uint8_t* end);

// The units of an Annex B buffer, start codes removed. A zero in front of a
// three-byte start code belongs to that code, not to the unit before it.
class AnnexBUnits {
 public:
  AnnexBUnits(const uint8_t* data, size_t length)
      : code(FindStartCode(data, data + length)), end(data + length) {
    if (code > data && code < end && code[-1] == 0) --code;
  }
  bool Next(const uint8_t** unit, size_t* length) {
    while (code < end) {
      const uint8_t* start = code;
      while (start < end && *start == 0) ++start;
      if (++start > end) break;  // past the 01 that ends the start code
      const uint8_t* next = FindStartCode(start, end);
      const uint8_t* stop = next;
      if (next < end && next > start && next[-1] == 0) --stop;
      code = stop;
      *unit = start;
      *length = static_cast<size_t>(stop - start);
      return true;
    }
    code = end;
    return false;
  }

 private:
  const uint8_t* code;
  const uint8_t* end;
};

// A 7-byte (9 with CRC) ADTS header. frameLength counts the header.
struct AdtsHeader {
  int frameLength = 0;
  int headerLength = 0;
  int sampleRate = 0;
  int channels = 0;
  int profile = 0;
};
// False unless data starts with an ADTS header whose fields are usable.
VIDSCRIBE_API bool ParseAdtsHeader(const uint8_t* data, size_t length, AdtsHeader& out);

// Display order of H.264 access units in decode order, for hosts that must
// derive composition times (an Annex B file has no time stamps). Follows
// picture order counting of type 0, the one used with B-frames; with the
// other types display order is decode order.
class VIDSCRIBE_API PictureOrder {
 public:
  struct Frame {
    bool idr = false;
    // Frames between this frame and the IDR frame before it, in display
    // order; -1 when unknown.
    int64_t displayIndex = -1;
  };
  Frame Next(const uint8_t* accessUnit, size_t length);

 private:
  void takeSps(const uint8_t* unit, size_t length);
  bool sliceOrder(const uint8_t* unit, size_t length, bool idr, int64_t* poc);

  bool haveSps = false;
  uint32_t log2MaxFrameNum = 4;
  uint32_t pocType = 0;
  uint32_t log2MaxPocLsb = 4;
  bool frameMbsOnly = true;
  bool separateColourPlane = false;
  int64_t prevPocMsb = 0;
  int64_t prevPocLsb = 0;
};

}  // namespace vidscribe

// A read-only byte source supplied by the host. The host owns it; the library
// calls Release exactly once when it lets go of the stream and forgets the
// pointer afterwards. The destructor is protected so the library can never
// delete a host object through this interface.
class VIDSCRIBE_API IReadStream {
 public:
  // Pairs with Release for hosts that count references. The library only
  // ever releases what it was handed, so it never calls this.
  virtual void AddRef() = 0;
  virtual void Release() = 0;
  // Returns the number of bytes read; a short count means end of data or error.
  virtual int32_t Read(uint8_t* buffer, int32_t count) = 0;
  // origin: 0 start, 1 current, 2 end. Returns 0 on success.
  virtual int32_t Seek(int64_t offset, int32_t origin) = 0;
  virtual int64_t Pos() = 0;
  virtual int64_t Size() = 0;

 protected:
  ~IReadStream() = default;
};

// Random-access byte channel over a stdio FILE (read and write) or an
// IReadStream (read only). Positions are 64-bit, so files beyond 2 GiB work.
// Copying is forbidden: a copy would own the same FILE or stream twice.
class VIDSCRIBE_API FLVIO {
 public:
  enum Mode { ModeRead = 0, ModeCreate = 1, ModeAppend = 2 };

  FLVIO();
  virtual ~FLVIO();
  FLVIO(const FLVIO&) = delete;
  FLVIO& operator=(const FLVIO&) = delete;

  bool Open(const char* path, Mode mode);
  void Attach(FILE* file);
  void Attach(IReadStream* stream);
  bool isOpen() const;
  void Close();

  int32_t Read(void* buffer, int32_t count);
  int32_t Write(const void* buffer, int32_t count);
  int64_t Seek(int64_t offset, int32_t origin);
  int64_t Pos();
  int64_t Size();
  // Cuts the file. Bytes still buffered from a write that failed are
  // dropped rather than written behind the cut (which undoes a failed
  // append).
  void Truncate(int64_t size);
  // Hands buffered bytes to the file; false when a write since Open (or the
  // last Truncate) failed: a full disk shows here at the latest.
  bool Flush();

 private:
  // stdio needs a positioning call between a write and a following read (and
  // the reverse); the channel remembers the last direction to insert one.
  enum class LastOp : uint8_t { None, Read, Write };
  void switchTo(LastOp op);

  FILE* file;
  IReadStream* stream;
  LastOp lastOp;
};

// One FLV tag held in one buffer together with the 4-byte PreviousTagSize
// that precedes it on disk (its "slot"):
//   [0..3] PreviousTagSize of the preceding tag   [4] TagType
//   [5..7] DataSize   [8..10] Timestamp bits 0-23   [11] bits 24-31
//   [12..14] StreamID   [15..] body
// The allocation is always capacity + slack + 15 bytes and only grows, so one
// tag can be reused across a whole scan. Copying is forbidden (one owner per
// buffer).
struct VIDSCRIBE_API FlvTag {
  uint8_t* buffer;
  int32_t bodyRead;
  int32_t capacity;
  int32_t slack;

  explicit FlvTag(int32_t capacity = 0, int32_t slack = 0);
  ~FlvTag();
  FlvTag(const FlvTag&) = delete;
  FlvTag& operator=(const FlvTag&) = delete;

  void SetPrevTagSize(uint32_t size);
  uint32_t GetPrevTagSize() const;
  void SetType(uint8_t type);
  uint8_t GetType() const;
  void SetDataSize(uint32_t size);
  uint32_t GetDataSize() const;
  void SetTimeStamp(uint32_t ms);
  uint32_t GetTimeStamp() const;
  void SetStreamID(uint32_t id);
  uint32_t GetStreamID() const;

  uint8_t* GetData();
  int32_t Size() const;
  bool isKeyFrame() const;
  bool AllocData(int32_t n);

  bool ReadHdr(FLVIO& io, int32_t n);
  bool ReadBody(FLVIO& io, int32_t limit);
  bool Read(FLVIO& io);
  bool SkipBody(FLVIO& io);
  bool Next(FLVIO& io);
  bool Prev(FLVIO& io);
  uint64_t TagPos(FLVIO& io);
  bool WriteHdr(FLVIO& io);
  bool Write(FLVIO& io);
  bool Write2(FLVIO& io);
  uint8_t* GetPayLoad(int32_t offset, int32_t& length);
  void Dump(bool hex, const char* prefix);
};

// The recorder interface shared by the FLV and the MP4 writers, so a host
// records through one interface whatever the container. Timestamps are
// milliseconds on the caller's clock; codecs are FLV codec ids (video 7 AVC,
// 4 VP6; audio 10 AAC).
class VIDSCRIBE_API IAvWriter {
 public:
  virtual int SetVideo(int codec, int width, int height, int fps);
  virtual int SetAudio(int codec, int sampleRate, int channels, int profile);
  virtual bool Open(const char* path) = 0;
  virtual bool Close() = 0;
  virtual int WriteVideo(uint8_t* data, int length, unsigned int timestamp, bool keyframe,
                         int compositionTime) = 0;
  virtual int WriteAudio(uint8_t* data, int length, unsigned int timestamp) = 0;
  virtual ~IAvWriter();
};

// ---------------------------------------------------------------------------
// MP4 writing and reading
// ---------------------------------------------------------------------------

namespace mp4file {
class Mp4FileWriter;
class Mp4FileReader;
}  // namespace mp4file

// Records the same streams as the FLV recorder into an MP4 file: H.264 Annex B
// frames (timestamps and composition times in ms) and AAC frames, raw or
// with a 7-byte ADTS header. Each sample is written once the next one of its
// track arrives, so its duration is the true gap to the sample that follows;
// Close writes the last ones and finishes the file. The tracks keep the
// caller's timing between them: an edit list starts each track where its
// first shown frame lies on the caller's clock, so the first picture and the
// first audio sample play together when the caller stamped them so.
class VIDSCRIBE_API Mp4Writer : public IAvWriter {
 public:
  Mp4Writer();
  int SetVideo(int codec, int width, int height, int fps) override;
  int SetAudio(int codec, int sampleRate, int channels, int profile) override;
  // Keeps a journal beside the file while it records (see RepairRecording).
  // False when the file cannot be created, or when the journal of an earlier
  // recording of path is still there: that recording can still be repaired,
  // so neither file is touched.
  bool Open(const char* path) override;
  // False only when the file could not be finished; true with no file open.
  bool Close() override;
  // 0, or -1 when no file is open or a sample could not be written.
  int WriteVideo(uint8_t* data, int length, unsigned int timestamp, bool keyframe,
                 int compositionTime) override;
  int WriteAudio(uint8_t* data, int length, unsigned int timestamp) override;
  // Streams and frames accepted since Open.
  void Describe(vidscribe::MediaDescription& out);
  ~Mp4Writer() override;
  Mp4Writer(const Mp4Writer&) = delete;
  Mp4Writer& operator=(const Mp4Writer&) = delete;

 private:
  // A sample waiting for the next one of its track to know its duration.
  struct HeldSample {
    std::vector<uint8_t> data;
    uint32_t length = 0;
    int32_t offset = 0;
    bool sync = false;
    bool held = false;
  };
  bool writeHeldVideo(uint32_t duration);
  bool writeHeldAudio(uint32_t duration);
  uint32_t audioDurationUntil(unsigned int timestamp);
  void createVideoTrack(const uint8_t* sps, uint32_t spsLength);
  void createAudioTrack();
  void setEdits();

  std::recursive_mutex lock;
  int32_t sampleRate;
  int32_t channels;
  int32_t aacProfile;
  int32_t width, height;
  int32_t fps;
  std::unique_ptr<mp4file::Mp4FileWriter> file;
  uint32_t audioTrack, videoTrack;
  std::vector<uint8_t> workBuffer;
  int32_t workBufferSize;
  uint32_t lastVideoTime, lastAudioTime;
  // Sample-exact audio timing: the track's time scale, the caller's time of
  // its first frame, and the track time at which the held frame starts.
  HeldSample heldVideo, heldAudio;
  uint32_t lastVideoDuration;
  uint32_t audioTimeScale;
  uint32_t firstAudioTime;
  uint64_t audioWritten;
  // Where each track's first shown frame lies on the caller's clock (ms):
  // the first video sample's time plus its composition time, the first
  // audio frame's time. Close turns the difference into edit lists.
  uint32_t firstVideoTime;
  int32_t firstVideoOffset;  // in the 90 kHz track time scale
  uint32_t videoFrames, audioFrames;
};

// What an Mp4Reader delivers to its host. The reader never deletes it.
class VIDSCRIBE_API IReader {
 public:
  // The audio configuration as an ADTS header, every audio frame (raw) and
  // every video access unit (start-code form).
  virtual void OnData(const uint8_t* data, int length, uint32_t timestamp) = 0;
  // The SPS and the PPS, each behind a four-byte start code.
  virtual void OnVideoConfig(const uint8_t* data, int length, uint32_t timestamp, int keyframe) = 0;

 protected:
  ~IReader() = default;
};

// Plays an MP4 file with one H.264 and/or one AAC track into an IReader.
// Open delivers the decoder configuration. Samples are delivered by Pump,
// which the host calls from the thread that owns the reader at a steady
// pace (every 10-20 ms, from a timer or its render loop): each call delivers
// every sample that has become due since the last one, by the reader's own
// clock, which starts at Open and restarts at Seek. Pump returns false once
// every sample has been delivered.
class VIDSCRIBE_API Mp4Reader {
 public:
  explicit Mp4Reader(IReader* sink);
  virtual ~Mp4Reader();
  Mp4Reader(const Mp4Reader&) = delete;
  Mp4Reader& operator=(const Mp4Reader&) = delete;

  bool Open(const char* path);
  bool Close();
  uint32_t getStamp();
  // Lands on the first key frame at or after position - 5 s; flag unused.
  void Seek(int32_t position, int flag);
  bool Pump();

  // Track facts after Open, for hosts and tools.
  uint32_t Duration() const { return totalDuration; }
  bool HasVideo() const { return videoTrack != 0; }
  bool HasAudio() const { return audioTrack != 0; }
  int32_t Width() const { return width; }
  int32_t Height() const { return height; }
  void Describe(vidscribe::MediaDescription& out);

  // Any sample by its 0-based index, whatever the clock, for tools that
  // convert or check a file. Times are the file's own, in ms.
  enum SampleForm {
    SampleAsStored = 0,    // video with 4-byte unit lengths, audio raw
    SampleForDecoder = 1,  // video with start codes, audio behind an ADTS header
  };
  struct Sample {
    std::vector<uint8_t> data;
    uint32_t time = 0;  // decode time
    int32_t compositionTime = 0;
    uint32_t duration = 0;
    bool keyframe = false;
  };
  bool ReadVideoSample(uint32_t index, SampleForm form, Sample& out);
  bool ReadAudioSample(uint32_t index, SampleForm form, Sample& out);

 private:
  class Ticker {
   public:
    void Restart();
    int64_t Elapsed() const;

   private:
    int64_t start = 0;
  };

  bool readSample(int32_t lookAhead);
  bool readVideoSample(int32_t lookAhead);
  bool readAudioSample(int32_t lookAhead);
  uint32_t getVideoSampleId(int32_t lookAhead);
  uint32_t getAudioSampleId(int32_t lookAhead);
  void setSeekTime(int32_t time);
  uint32_t getVideoCurrentTime();
  bool openVideo();
  bool openAudio();
  void deliver(const uint8_t* data, int length, uint32_t timestamp);
  bool readAnySample(uint32_t track, uint32_t index, Sample& out);

  IReader* sink;
  std::unique_ptr<mp4file::Mp4FileReader> file;
  uint32_t videoTrack;
  uint32_t videoDuration;
  uint32_t videoSampleCount;
  int32_t width, height;
  int32_t fps;
  std::vector<uint8_t> pps, sps;
  bool lastSampleSync;
  Ticker clock;
  uint32_t audioTrack;
  uint32_t audioDuration;
  uint32_t audioSampleCount;
  int32_t sampleRate, channels;
  int32_t aacProfile;
  std::vector<uint8_t> audioConfig;
  uint32_t totalDuration;
  uint32_t nextVideoSample, nextAudioSample;
  std::vector<uint8_t> videoBuffer, audioBuffer;
  int32_t seekBase;
};

namespace vidscribe {
struct VidscriberState;
}  // namespace vidscribe

// FLV recorder and editor. As a recorder it turns H.264 Annex B frames and
// AAC frames (raw or ADTS) into FLV tags, from up to two threads, and
// finishes the file with an onMetaData tag; in key-frame mode that tag also
// carries the index of every key frame, inserted at Close. As an editor it
// opens existing files to read them tag by tag, seek by time, continue a
// recording, append another file or silence, and (statically) copy a file
// adding a key-frame index. Copying is forbidden: a copy would share the
// file, the lock and the work buffer.
class VIDSCRIBE_API Vidscriber : public IAvWriter {
 public:
  explicit Vidscriber(bool keyframeMode = false);
  ~Vidscriber() override;
  Vidscriber(const Vidscriber&) = delete;
  Vidscriber& operator=(const Vidscriber&) = delete;

  int SetVideo(int codec, int width, int height, int fps) override;
  int SetAudio(int codec, int sampleRate, int channels, int profile) override;
  bool Open(const char* path) override;
  bool Close() override;
  int WriteVideo(uint8_t* data, int length, unsigned int timestamp, bool keyframe,
                 int compositionTime) override;
  int WriteAudio(uint8_t* data, int length, unsigned int timestamp) override;

  int Reset();
  bool isOpen() const;
  FLVIO& io();
  void WriteHeader();
  int WriteMetaData();
  int WriteTag(uint8_t type, uint32_t timestamp, const uint8_t* header, int headerLength,
               const uint8_t* payload, int payloadLength);

  bool Open(const char* path, FLVIO::Mode mode);
  // The stream is released once, when the writer lets go of it.
  bool AttachOpen(IReadStream* stream);
  bool FirstTag(FlvTag& tag);
  bool LastTag(FlvTag& tag);
  bool ReadTag(FlvTag& tag);
  // Kinds: 0 configuration or metadata, 1 audio, 2 video, 3 video key frame,
  // 255 anything else. The AAC conversion overwrites the tag header bytes.
  uint8_t ParseTag(FlvTag& tag, int& payloadOffset, uint8_t convert, uint32_t* time = nullptr);
  int SeekTag(uint32_t time, int keyOnly);
  bool AddFlv(const char* path, int64_t offset);
  int AddSpace(uint32_t milliseconds);
  static bool AddKeyFrame(const char* source, const char* destination, bool force);

  // Parameter records from the stream parameters kept (see MakeSeqNal:
  // 00 00 00 01 SPS 00 00 00 01 PPS, 0 when there is none or no room).
  int MakeAVCc(char* out, int capacity);
  static int MakeAVCc(const char* src, int srcLength, char* out, int capacity);
  int ParseAVCc(const uint8_t* record, int length);
  int MakeSeqNal(uint8_t* out, int capacity);
  bool hasSeqVideo();
  uint8_t AudioType();
  int genAdtsHeader(uint8_t* out, int payloadLength);

  // The streams as the writer knows them: from SetVideo/SetAudio and the
  // frames while recording, from onMetaData and the tags ParseTag has seen
  // while reading. Frame counts are those written since Open.
  void Describe(vidscribe::MediaDescription& out);
  // The onMetaData of the open file as indented "name: value" lines (strict
  // arrays by their length); false when the file has none that decodes.
  bool DescribeMetaData(std::string& text);

 private:
  uint32_t getTime(uint32_t timestamp, int64_t* exact = nullptr);
  uint32_t afterLast(uint32_t t, uint32_t timestamp, bool video);
  void WriteAacSeqInfo(uint32_t time);
  void buildKeyFrame();
  bool CheckHeader();
  int Check(bool checkHeader);
  bool startRecording();
  void loadMetaData(FlvTag& tag);

  vidscribe::VidscriberState* state;
};

// ---------------------------------------------------------------------------
// Recordings cut off by a crash
// ---------------------------------------------------------------------------

namespace vidscribe {

// What RepairRecording did.
struct RepairReport {
  // One line: what was rebuilt, or why nothing was changed.
  std::string message;
  uint32_t videoFrames = 0;
  uint32_t audioFrames = 0;
  uint32_t duration = 0;  // ms
  // Bytes past the last whole frame that were left out: a frame cut short,
  // or (MP4) media the journal had not named yet.
  uint64_t bytesDropped = 0;
};

enum RepairOption {
  // FLV: write a key-frame index even when the file was not recorded with one.
  kRepairKeyFrameIndex = 1,
};

// Makes a recording whose recorder died (a crash, a kill, a power cut)
// playable, in place. MP4: the movie box is rebuilt from the media data and
// the journal the recording kept beside it (RecordingJournalPath); the
// journal is removed after. FLV: a tag cut short at the end is dropped and
// onMetaData rewritten (duration, sizes, rates, and the key-frame index when
// the file was recorded with one or kRepairKeyFrameIndex is given).
// Everything is checked before anything is written, and the file is mended
// where it lies (an FLV that gets a longer onMetaData is written beside it,
// as PATH.repairing, and renamed over it): a repair cut off itself, or one
// that fails part way, leaves a file the next repair finishes. False, with
// the reason in report.message, when the file was not repaired.
VIDSCRIBE_API bool RepairRecording(const char* path, int options, RepairReport& report);

// The journal an MP4 recording of path keeps beside it while it runs. While
// it is there, Mp4Writer::Open refuses path: the recording it belongs to was
// never finished and can still be repaired.
VIDSCRIBE_API std::string RecordingJournalPath(const char* path);

}  // namespace vidscribe

#endif  // VIDSCRIBE_VIDSCRIBE_H
