// Streams: embedded lookup rules, integer byte order, short reads, file names.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "scratch_dir.h"
#include "stream/stream.h"

namespace fs = std::filesystem;

namespace {

const uint8_t kBlob[] = {'b', 'l', 'o', 'b', 0x2a};

class StreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    init_stream_module();
    init_stream_module();  // a second call must not add a second factory
  }
  scratch_dir dir_;
};

TEST_F(StreamTest, EmbeddedFilesMatchProtocolAnyCaseAndNameExactly) {
  add_embedded_file("stream_test_blob.bin", kBlob, sizeof kBlob);
  const uint8_t other[] = {1, 2, 3};
  EXPECT_EQ(add_embedded_file("stream_test_blob.bin", other, sizeof other), 0);  // first bytes stay

  for (const char* name : {"incbin::stream_test_blob.bin", "Incbin::stream_test_blob.bin",
                           "INCBIN::stream_test_blob.bin"}) {
    auto s = read_file(name);
    ASSERT_TRUE(s) << name;
    EXPECT_EQ(s->Size(), 5);
    EXPECT_EQ(s->ReadString(4), "blob");
    EXPECT_EQ(s->ReadByte(), 0x2a);
    EXPECT_TRUE(s->Eof());
  }
  EXPECT_FALSE(read_file("incbin::Stream_test_blob.bin"));
  EXPECT_FALSE(read_file("incbin::stream_test_blob"));
  EXPECT_FALSE(read_file("incbin::never_registered.png"));
  EXPECT_FALSE(read_file("nosuch::stream_test_blob.bin"));

  // Embedded files are read-only, whichever way a write is asked for.
  EXPECT_FALSE(write_file("incbin::stream_test_blob.bin"));
  EXPECT_FALSE(open_stream("incbin::stream_test_blob.bin", 1, 1));
}

TEST_F(StreamTest, RamStreamsStayInsideTheirBytes) {
  uint8_t buf[6] = {};
  auto s = TRamStream::Create(buf, sizeof buf, 1, 1);
  s->WriteInt(0x01020304);
  EXPECT_THROW(s->WriteInt(7), TStreamWriteException);  // only 2 bytes of room, then none
  EXPECT_EQ(buf[0], 4);
  EXPECT_EQ(buf[3], 1);
  EXPECT_EQ(s->Seek(100), 6);
  EXPECT_EQ(s->Seek(-3), 0);
  EXPECT_EQ(s->ReadInt(), 0x01020304);

  auto ro = TRamStream::Create(buf, sizeof buf, 1, 0);
  EXPECT_EQ(ro->Write(buf, 1), 0);
  try {
    ro->WriteByte(1);
    FAIL() << "write to a read-only stream went through";
  } catch (const TStreamWriteException& e) {
    EXPECT_STREQ(e.what(), "Error writing to stream");
  }
}

TEST_F(StreamTest, ReadIntCountsMissingBytesAsZeroAndStallsRaise) {
  dir_.write_bytes("two.dat", {0x07, 0x01});
  dir_.write_bytes("empty.dat", {});
  EXPECT_EQ(read_file(dir_.file("two.dat"))->ReadInt(), 263);
  EXPECT_EQ(read_file(dir_.file("empty.dat"))->ReadInt(), 0);

  // A file that shrinks under an open stream stops short of the size it had:
  // the read makes no progress before the end and must say so.
  dir_.write_bytes("shrinks.dat", std::vector<uint8_t>(65536, 1));
  auto s = read_file(dir_.file("shrinks.dat"));
  ASSERT_TRUE(s);
  ASSERT_EQ(truncate(dir_.file("shrinks.dat").c_str(), 2), 0);
  ASSERT_EQ(s->Seek(60000), 60000);
  try {
    s->ReadInt();
    FAIL() << "short read went unreported";
  } catch (const TStreamReadException& e) {
    EXPECT_STREQ(e.what(), "Error reading from stream");
  }
}

TEST_F(StreamTest, FilesPastFourGigabytesSeekAndReadsPastTheEndFail) {
  const int64_t far = (int64_t{1} << 32) + 6;  // a sparse file: no disk used
  auto w = write_file(dir_.file("big.dat"));
  ASSERT_EQ(w->Seek(far), far);
  w->WriteInt(77);
  w->Close();
  auto r = read_file(dir_.file("big.dat"));
  EXPECT_EQ(r->Size(), far + 4);
  ASSERT_EQ(r->Seek(far), far);
  EXPECT_EQ(r->ReadInt(), 77);
  ASSERT_EQ(r->Seek(far + 10), far + 10);
  EXPECT_THROW(r->ReadInt(), TStreamReadException);
}

TEST_F(StreamTest, TypedValuesAreLittleEndianOnDisk) {
  auto w = write_file(dir_.file("values.dat"));
  ASSERT_TRUE(w);
  w->WriteInt(0x01020304);
  w->WriteInt(-2);
  w->WriteShort(0xBEEF);
  w->WriteLong(0x1122334455667788LL);
  w->WriteFloat(1.5f);
  w->WriteDouble(-0.25);
  w->WriteLine("line one\r");
  w->WriteString("tail");
  const int64_t size = w->Size();
  close_stream(w);
  close_stream(w);  // a second close does nothing

  // The bytes at both ends, and the values between them read back one by one.
  const auto bytes = dir_.read_bytes("values.dat");
  EXPECT_EQ(size, static_cast<int64_t>(bytes.size()));
  ASSERT_GE(bytes.size(), 24u);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 10),
            (std::vector<uint8_t>{4, 3, 2, 1, 0xFE, 0xFF, 0xFF, 0xFF, 0xEF, 0xBE}));
  EXPECT_EQ(std::string(bytes.end() - 14, bytes.end()), "line one\r\ntail");

  auto r = read_file(dir_.file("values.dat"));
  EXPECT_EQ(r->ReadInt(), 0x01020304);
  EXPECT_EQ(r->ReadInt(), -2);
  EXPECT_EQ(r->ReadShort(), 0xBEEF);
  EXPECT_EQ(r->ReadLong(), 0x1122334455667788LL);
  EXPECT_EQ(r->ReadFloat(), 1.5f);
  EXPECT_EQ(r->ReadDouble(), -0.25);
  EXPECT_EQ(r->ReadLine(), "line one");
  EXPECT_EQ(r->ReadString(100), "tail");  // only what is there
  EXPECT_TRUE(r->Eof());
}

TEST_F(StreamTest, FlushReportsWritesThatNeverReachTheDisk) {
  auto full = write_file("/dev/full");
  if (!full) GTEST_SKIP() << "no /dev/full here";
  full->WriteInt(1);  // only buffered so far
  EXPECT_THROW(full->Flush(), TStreamWriteException);
  full->Close();
}

TEST_F(StreamTest, ReadWriteStreamsWriteWhereTheyRead) {
  dir_.write_bytes("rw.dat", {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0});
  auto s = open_stream(dir_.file("rw.dat"), 1, 1);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->ReadInt(), 1);
  s->WriteInt(99);  // replaces the second integer, not the end of the file
  EXPECT_EQ(s->ReadInt(), 3);
  s->WriteInt(4);  // and this one grows the file
  EXPECT_EQ(s->Size(), 16);
  s->Close();
  EXPECT_EQ(dir_.read_bytes("rw.dat"),
            (std::vector<uint8_t>{1, 0, 0, 0, 99, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0}));
}

TEST_F(StreamTest, BackslashesAndLetterCaseFindTheSameFile) {
  fs::create_directory(dir_.file("data"));
  const auto cwd = fs::current_path();
  fs::current_path(dir_.path());

  // Written the way the game writes its names; lands in the lower-case folder.
  auto w = write_file("Data\\anaglyph3d.dat");
  ASSERT_TRUE(w);
  w->WriteInt(3);
  w->Close();
  EXPECT_TRUE(fs::is_regular_file(dir_.path() / "data" / "anaglyph3d.dat"));
  EXPECT_FALSE(fs::exists(dir_.path() / "Data"));

  EXPECT_EQ(file_type("Data\\anaglyph3d.dat"), 1);
  EXPECT_EQ(file_type("data/ANAGLYPH3D.DAT"), 1);
  EXPECT_EQ(file_type("DATA"), 2);
  EXPECT_EQ(file_type("data\\hiscore.dat"), 0);
  EXPECT_EQ(file_type("nosuch\\hiscore.dat"), 0);
  EXPECT_EQ(file_type(""), 0);

  auto a = write_file("data\\hiscore.dat");
  ASSERT_TRUE(a);
  a->WriteInt(150);
  a->Close();
  EXPECT_EQ(read_file("data/hiscore.dat")->ReadInt(), 150);
  EXPECT_EQ(read_file("Data\\HiScore.dat")->ReadInt(), 150);
  EXPECT_EQ(map_file_path("DATA\\new.dat"), "data/new.dat");

  // An exact match wins over a case-insensitive one.
  fs::create_directory(dir_.file("Data"));
  EXPECT_EQ(file_type("Data\\anaglyph3d.dat"), 0);
  EXPECT_EQ(map_file_path("data\\anaglyph3d.dat"), "data/anaglyph3d.dat");

  // A folder of the file's name is no file to open.
  EXPECT_FALSE(read_file("data"));
  EXPECT_FALSE(read_file("nosuch\\file.dat"));
  fs::current_path(cwd);
}

}  // namespace
