// Recording files (ghost laps and saved replays): what is written reads back
// the same, and a damaged or foreign file is refused with one line.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "shell/record_file.h"
#include "test_support.h"

namespace {

vrx::Recording Sample(vrx::RecordKind kind, int controls, int states) {
  vrx::Recording r;
  r.kind = kind;
  strcpy(r.car, "DATA\\CARS\\Hatch\\Hatch");
  strcpy(r.track, "DATA\\TRACKS\\Oval\\Oval");
  r.time = 61230;
  r.lapStart = 40;
  r.damage = 1;
  r.automatic = 0;
  for (int i = 0; i < controls; ++i) {
    r.controlStamps.push_back(100u * i + (i ? 3 : 0));
    r.controls.push_back(ReplaySnapshot{0.1f * i, 0.5f, -0.25f, i & 1, 0, 2 + i % 5});
  }
  for (int i = 0; i < states; ++i) {
    r.stateStamps.push_back(100u * i);
    ReplayState s;
    s.Position = D3DXVECTOR3(1.5f * i, 0.5f, -2.0f * i);
    s.Velocity = D3DXVECTOR3(15, 0, -20);
    s.Rotation = D3DXQUATERNION(0, std::sin(0.01f * i), 0, std::cos(0.01f * i));
    s.Spin = D3DXVECTOR3(0, 0.1f, 0);
    r.states.push_back(s);
  }
  return r;
}

bool Decodes(const std::vector<uint8_t>& bytes, vrx::RecordKind kind, std::string* why = nullptr) {
  vrx::Recording out;
  std::string reason;
  return vrx::DecodeRecording(bytes.data(), bytes.size(), kind, &out, why ? why : &reason);
}

TEST(RecordFile, ARecordingReadsBackAsItWasWrittenThroughTheSafeWriter) {
  const std::string dir = vrxtest::MakeTempDir("record_roundtrip");
  const std::string path = dir + "/lap.vrxghost";
  const vrx::Recording in = Sample(vrx::RecordKind::kGhost, 30, 31);
  ASSERT_TRUE(vrx::WriteRecordFile(path.c_str(), in));
  const std::string bytes = vrxtest::ReadFile(path);
  EXPECT_EQ(bytes.size(), vrx::kRecordHeaderBytes + 30 * vrx::kRecordControlBytes + 31 * vrx::kRecordStateBytes + 4);
  EXPECT_EQ(bytes.compare(0, 4, "VRXR"), 0);

  vrx::Recording out;
  ASSERT_EQ(vrx::ReadRecordFile(path.c_str(), vrx::RecordKind::kGhost, &out), vrx::RecordRead::kOk);
  EXPECT_STREQ(out.car, in.car);
  EXPECT_STREQ(out.track, in.track);
  EXPECT_EQ(out.time, 61230u);
  EXPECT_EQ(out.lapStart, 40u);
  EXPECT_EQ(out.damage, 1);
  EXPECT_EQ(out.automatic, 0);
  ASSERT_EQ(out.controls.size(), 30u);
  ASSERT_EQ(out.states.size(), 31u);
  EXPECT_EQ(out.controlStamps, in.controlStamps);
  EXPECT_EQ(out.stateStamps, in.stateStamps);
  EXPECT_EQ(memcmp(out.controls.data(), in.controls.data(), 30 * sizeof(ReplaySnapshot)), 0);
  EXPECT_EQ(memcmp(out.states.data(), in.states.data(), 31 * sizeof(ReplayState)), 0);

  // The other kind of the family is refused, not mistaken for this one.
  testing::internal::CaptureStderr();
  EXPECT_EQ(vrx::ReadRecordFile(path.c_str(), vrx::RecordKind::kReplay, &out), vrx::RecordRead::kBad);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("not a saved replay"), std::string::npos) << said;
}

TEST(RecordFile, AMissingFileIsSilentAndADamagedOneSaysSoInOneLine) {
  const std::string dir = vrxtest::MakeTempDir("record_damaged");
  vrx::Recording out;
  testing::internal::CaptureStderr();
  EXPECT_EQ(vrx::ReadRecordFile((dir + "/none.vrxghost").c_str(), vrx::RecordKind::kGhost, &out),
            vrx::RecordRead::kMissing);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  const std::vector<uint8_t> good = vrx::EncodeRecording(Sample(vrx::RecordKind::kGhost, 5, 5));
  ASSERT_FALSE(good.empty());
  std::vector<uint8_t> bad = good;
  bad[200] ^= 0x10;
  const std::string path = dir + "/bad.vrxghost";
  ASSERT_TRUE(vrxtest::WriteFile(path, bad.data(), bad.size()));
  testing::internal::CaptureStderr();
  EXPECT_EQ(vrx::ReadRecordFile(path.c_str(), vrx::RecordKind::kGhost, &out), vrx::RecordRead::kBad);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(said, "vrx: ignoring " + path + ": checksum mismatch\n");
}

TEST(RecordFile, EveryFlippedByteAndEveryShorterLengthIsRefused) {
  const std::vector<uint8_t> good = vrx::EncodeRecording(Sample(vrx::RecordKind::kReplay, 4, 6));
  ASSERT_TRUE(Decodes(good, vrx::RecordKind::kReplay));
  for (size_t i = 0; i < good.size(); ++i) {
    for (uint8_t bit : {0x01, 0x80}) {
      std::vector<uint8_t> bytes = good;
      bytes[i] ^= bit;
      EXPECT_FALSE(Decodes(bytes, vrx::RecordKind::kReplay)) << "byte " << i << " bit " << int(bit);
    }
  }
  for (size_t n = 0; n < good.size(); ++n) {
    const std::vector<uint8_t> bytes(good.begin(), good.begin() + n);
    EXPECT_FALSE(Decodes(bytes, vrx::RecordKind::kReplay)) << "length " << n;
  }
  std::vector<uint8_t> longer = good;
  longer.push_back(0);
  EXPECT_FALSE(Decodes(longer, vrx::RecordKind::kReplay));
}

// A file whose checksum was made to match still has to hold sane samples.
TEST(RecordFile, ValuesOutOfRangeAreRefusedEvenUnderAMatchingChecksum) {
  auto reseal = [](std::vector<uint8_t>& b) {
    const uint32_t c = vrx::RecordChecksum(b.data(), b.size() - 4);
    for (int i = 0; i < 4; ++i) b[b.size() - 4 + i] = (uint8_t)(c >> (8 * i));
  };
  const std::vector<uint8_t> good = vrx::EncodeRecording(Sample(vrx::RecordKind::kGhost, 3, 3));
  const size_t states = vrx::kRecordHeaderBytes + 3 * vrx::kRecordControlBytes;
  struct Case {
    const char* what;
    size_t offset;
    uint32_t value;
  } cases[] = {
      {"a NaN position", states + 4, 0x7FC00000u},
      {"a zero quaternion", states + 28, 0},  // x
      {"stamps not rising", states + vrx::kRecordStateBytes, 0},
      {"a control count beyond the file", 152, 4},
      {"a switch of 2", 144, 2},
      {"an infinite throttle", vrx::kRecordHeaderBytes + 4, 0x7F800000u},
      {"a lap starting after its samples", 140, 100000},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = good;
    for (int i = 0; i < 4; ++i) bytes[c.offset + i] = (uint8_t)(c.value >> (8 * i));
    if (std::string(c.what) == "a zero quaternion")
      for (size_t o = states + 32; o < states + 44; ++o) bytes[o] = 0;
    reseal(bytes);
    EXPECT_FALSE(Decodes(bytes, vrx::RecordKind::kGhost)) << c.what;
  }
  // A name that fills its field without ending is refused too.
  std::vector<uint8_t> bytes = good;
  memset(bytes.data() + 8, 'A', vrx::kRecordEntryChars);
  reseal(bytes);
  std::string why;
  EXPECT_FALSE(Decodes(bytes, vrx::RecordKind::kGhost, &why));
  EXPECT_EQ(why, "car or track name without its end");
}

TEST(RecordFile, RecordingsThatBreakTheRulesAreNeverWritten) {
  const std::string dir = vrxtest::MakeTempDir("record_unwritable");
  vrx::Recording empty = Sample(vrx::RecordKind::kGhost, 0, 3);
  vrx::Recording unsorted = Sample(vrx::RecordKind::kGhost, 3, 3);
  unsorted.stateStamps[2] = unsorted.stateStamps[1];
  vrx::Recording longName = Sample(vrx::RecordKind::kGhost, 3, 3);
  memset(longName.car, 'x', sizeof longName.car);
  for (const vrx::Recording* r : {&empty, &unsorted, &longName}) {
    const std::string path = dir + "/never.vrxghost";
    testing::internal::CaptureStderr();
    EXPECT_FALSE(vrx::WriteRecordFile(path.c_str(), *r));
    EXPECT_NE(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(vrxtest::ReadFile(path), "");
  }
}

}  // namespace
