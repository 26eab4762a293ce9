// The diagnostic lines the tag code writes, as a supporter reads them.
#include <gtest/gtest.h>

#include "../stderr_capture.h"
#include "vidscribe/vidscribe.h"

namespace {

TEST(FlvTagLogging, AllocResetDumpAndOpenLines) {
  StderrCapture capture;
  FlvTag tag;
  tag.SetType(9);
  tag.SetDataSize(300);
  tag.SetTimeStamp(1234);
  tag.AllocData(0);
  tag.Dump(false, "first");
  tag.Dump(true, "hex");
  FLVIO io;
  io.Open("/nonexistent/dir/x.flv", FLVIO::ModeRead);
  const std::string text = capture.text();
  EXPECT_NE(text.find("(Flv:0): AllocData reset size 0->300\n"), std::string::npos) << text;
  EXPECT_NE(text.find("(Flv:0): first FlvTag Type  9, dataLen  300, TimeStamp 1234\n"), std::string::npos);
  EXPECT_NE(text.find("(Flv:0): hex FlvTag Type  9, dataLen  300, TimeStamp 1234\n"
                      " 00 00 00 00 09 00 01 2C 00 04 D2 00 00 00 00\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("(Flv:0): OpenFile /nonexistent/dir/x.flv,0 return 0\n"), std::string::npos);
}

}  // namespace
