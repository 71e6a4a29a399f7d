#include "delivery/async_read.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using testing::ReadFile;
using testing::TempDir;

// Holds every started read until the test answers it, the way the network answers later on the
// UI thread.
class PendingTransport final : public IUrlTransport {
 public:
  struct Read {
    std::string url;
    Completion done;
  };

  void Get(const std::string& url, Completion done) override {
    reads.push_back({url, std::move(done)});
  }

  // Answers the read started `index`-th among those still pending.
  void Answer(size_t index, bool ok, std::string bytes = {}) {
    Read read = std::move(reads.at(index));
    reads.erase(reads.begin() + static_cast<std::ptrdiff_t>(index));
    read.done(ok, std::move(bytes));
  }

  std::deque<Read> reads;
};

struct Seen {
  std::string propertyName;
  std::string value;
  int statusCode;
  std::string dataFromUrl;  // as the handler finds the reader
};

class AsyncReadTest : public ::testing::Test {
 protected:
  AsyncReadTest() {
    reader.AsyncReadComplete = [this](AsyncRead& r, const AsyncProperty& completion) {
      seen.push_back(
          {completion.PropertyName, completion.Value, completion.StatusCode, r.DataFromURL()});
    };
  }

  PendingTransport transport;
  AsyncRead reader{transport};
  std::vector<Seen> seen;
};

TEST_F(AsyncReadTest, SuccessReplacesTheUrlByTheTextBeforeTheEvent) {
  reader.SetPropName("logon11530");
  reader.SetDataFromURL("http://svc/login?x=1");
  ASSERT_EQ(transport.reads.size(), 1u);
  EXPECT_EQ(transport.reads[0].url, "http://svc/login?x=1");
  EXPECT_TRUE(seen.empty()) << "the event waits for the reply";

  transport.Answer(0, true, "+OK *12*1-ab% hi\xFF");

  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].propertyName, "logon11530");
  EXPECT_EQ(seen[0].statusCode, kAsyncStatusEndOfData);
  EXPECT_EQ(seen[0].value, "+OK *12*1-ab% hi\xFF") << "Value keeps the bytes as received";
  EXPECT_EQ(seen[0].dataFromUrl, "+OK *12*1-ab% hi");
  EXPECT_EQ(reader.DataFromURL(), "+OK *12*1-ab% hi");
}

TEST_F(AsyncReadTest, FailureLeavesTheUrlInDataFromUrl) {
  reader.SetPropName("getcredit3");
  reader.SetDataFromURL("http://svc/credit");
  transport.Answer(0, false);

  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].propertyName, "getcredit3");
  EXPECT_EQ(seen[0].statusCode, kAsyncStatusError);
  EXPECT_NE(seen[0].statusCode, kAsyncStatusEndOfData);
  EXPECT_EQ(seen[0].dataFromUrl, "http://svc/credit");
  EXPECT_TRUE(seen[0].value.empty());
}

TEST_F(AsyncReadTest, EmptyUrlIsStoredAndStartsNothing) {
  reader.SetDataFromURL("http://svc/a");
  transport.Answer(0, true, "reply");
  seen.clear();

  reader.SetDataFromURL("");
  reader.SetFileFromURL("");

  EXPECT_TRUE(transport.reads.empty());
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(reader.DataFromURL(), "");
}

// The tag is the one set when the read started; overlapping reads answered out of order each
// report their own tag with their own text.
TEST_F(AsyncReadTest, OverlappingReadsKeepTheirOwnTags) {
  reader.SetPropName("sendsms7");
  reader.SetDataFromURL("http://svc/sms");
  reader.SetPropName("getcredit8");
  reader.SetDataFromURL("http://svc/credit");
  reader.SetPropName("changed-after-start");
  ASSERT_EQ(transport.reads.size(), 2u);

  transport.Answer(1, true, "118");
  transport.Answer(0, true, "ID: 41");

  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].propertyName, "getcredit8");
  EXPECT_EQ(seen[0].dataFromUrl, "118");
  EXPECT_EQ(seen[1].propertyName, "sendsms7");
  EXPECT_EQ(seen[1].dataFromUrl, "ID: 41");
}

// A handler that starts the next read (a send answered by a credit update) gets a read of its
// own, not a nested completion.
TEST_F(AsyncReadTest, HandlerMayStartTheNextRead) {
  reader.AsyncReadComplete = [this](AsyncRead& r, const AsyncProperty& completion) {
    seen.push_back(
        {completion.PropertyName, completion.Value, completion.StatusCode, r.DataFromURL()});
    if (completion.PropertyName == "sendsms1") {
      r.SetPropName("getcredit2");
      r.SetDataFromURL("http://svc/credit");
    }
  };
  reader.SetPropName("sendsms1");
  reader.SetDataFromURL("http://svc/sms");
  transport.Answer(0, false);

  ASSERT_EQ(seen.size(), 1u);
  ASSERT_EQ(transport.reads.size(), 1u);
  transport.Answer(0, true, "99");
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].propertyName, "getcredit2");
  EXPECT_EQ(seen[1].dataFromUrl, "99");
}

TEST_F(AsyncReadTest, ReaderDestroyedBeforeTheReplyRaisesNothing) {
  PendingTransport own;
  int events = 0;
  {
    AsyncRead shortLived(own);
    shortLived.AsyncReadComplete = [&events](AsyncRead&, const AsyncProperty&) { ++events; };
    shortLived.SetDataFromURL("http://svc/a");
  }
  own.Answer(0, true, "late");
  EXPECT_EQ(events, 0);
}

TEST_F(AsyncReadTest, FileModeCopiesTheBytesToDestFileName) {
  TempDir dir;
  const std::string dest = dir / "download.bin";
  reader.SetPropName("not-used-for-files");
  reader.SetFileFromURL("http://svc/file");
  // Set after the start: the destination is taken when the read completes.
  reader.SetDestFileName(dest);
  std::string tempSeenDuringEvent;
  reader.AsyncReadComplete = [&](AsyncRead&, const AsyncProperty& completion) {
    seen.push_back({completion.PropertyName, completion.Value, completion.StatusCode, ""});
    tempSeenDuringEvent = ReadFile(completion.Value);
  };

  const std::string bytes("\x00\xFF\r\nbody", 8);
  transport.Answer(0, true, bytes);

  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].propertyName, kFileFromUrlTag);
  EXPECT_EQ(seen[0].statusCode, kAsyncStatusEndOfData);
  EXPECT_EQ(ReadFile(dest), bytes) << "file mode keeps the bytes, invalid UTF-8 included";
  EXPECT_EQ(tempSeenDuringEvent, bytes);
  EXPECT_FALSE(std::filesystem::exists(seen[0].value)) << "the temporary copy is cleaned up";
  EXPECT_EQ(reader.DataFromURL(), "") << "a file read leaves the text property alone";
}

TEST_F(AsyncReadTest, FileModeFailuresWriteNothing) {
  TempDir dir;
  const std::string dest = dir / "download.bin";
  reader.SetDestFileName(dest);
  reader.SetFileFromURL("http://svc/file");
  transport.Answer(0, false);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].statusCode, kAsyncStatusError);
  EXPECT_FALSE(std::filesystem::exists(dest));

  // A reply that cannot be stored fails too, rather than claiming the download.
  reader.SetDestFileName(dir / "missing-folder/download.bin");
  reader.SetFileFromURL("http://svc/file");
  transport.Answer(0, true, "bytes");
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].statusCode, kAsyncStatusError);
}

}  // namespace
}  // namespace tarnwick
