#include "shell/record_file.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "SafeWrite.h"
#include "platform/files.h"

namespace vrx {

namespace {

const char kMagic[4] = {'V', 'R', 'X', 'R'};
const uint16_t kVersion = 1;
// Far beyond any track; a body further out is a damaged file, not a lap.
const float kFarthest = 1.0e6f;

struct Crc32Table {
  uint32_t v[256];
  Crc32Table() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      v[i] = c;
    }
  }
};

void PutU16(std::vector<uint8_t>& b, uint16_t x) {
  b.push_back((uint8_t)x);
  b.push_back((uint8_t)(x >> 8));
}
void PutU32(std::vector<uint8_t>& b, uint32_t x) {
  for (int i = 0; i < 4; ++i) b.push_back((uint8_t)(x >> (8 * i)));
}
void PutF(std::vector<uint8_t>& b, float f) {
  uint32_t x;
  memcpy(&x, &f, 4);
  PutU32(b, x);
}
void PutV(std::vector<uint8_t>& b, const D3DXVECTOR3& v) {
  PutF(b, v.x);
  PutF(b, v.y);
  PutF(b, v.z);
}

// NUL-padded, never with whatever followed the NUL in memory.
void PutName(std::vector<uint8_t>& b, const char* name) {
  const size_t n = strnlen(name, kRecordEntryChars - 1);
  for (size_t i = 0; i < kRecordEntryChars; ++i) b.push_back(i < n ? (uint8_t)name[i] : 0);
}

uint16_t GetU16(const uint8_t* p) { return (uint16_t)(p[0] | p[1] << 8); }
uint32_t GetU32(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
float GetF(const uint8_t* p) {
  const uint32_t x = GetU32(p);
  float f;
  memcpy(&f, &x, 4);
  return f;
}
D3DXVECTOR3 GetV(const uint8_t* p) { return D3DXVECTOR3(GetF(p), GetF(p + 4), GetF(p + 8)); }

bool Sane(float f) { return std::isfinite(f) && std::fabs(f) < kFarthest; }
bool Sane(const D3DXVECTOR3& v) { return Sane(v.x) && Sane(v.y) && Sane(v.z); }

bool EntryFits(const char* s) { return memchr(s, 0, kRecordEntryChars) != nullptr; }

bool Rising(const std::vector<uint32_t>& stamps) {
  for (size_t i = 1; i < stamps.size(); ++i)
    if (stamps[i] <= stamps[i - 1]) return false;
  return true;
}

bool Fail(std::string* why, const char* text) {
  if (why) *why = text;
  return false;
}

}  // namespace

uint32_t RecordChecksum(const uint8_t* data, size_t size) {
  static const Crc32Table table;
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) c = table.v[(c ^ data[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

std::vector<uint8_t> EncodeRecording(const Recording& r) {
  std::vector<uint8_t> b;
  const size_t controls = r.controls.size(), states = r.states.size();
  if (controls == 0 || states == 0 || controls > kRecordMaxSamples || states > kRecordMaxSamples ||
      r.controlStamps.size() != controls || r.stateStamps.size() != states || !Rising(r.controlStamps) ||
      !Rising(r.stateStamps) || !EntryFits(r.car) || !EntryFits(r.track))
    return b;
  b.reserve(kRecordHeaderBytes + controls * kRecordControlBytes + states * kRecordStateBytes + 4);
  for (char c : kMagic) b.push_back((uint8_t)c);
  PutU16(b, kVersion);
  PutU16(b, (uint16_t)r.kind);
  PutName(b, r.car);
  PutName(b, r.track);
  PutU32(b, r.time);
  PutU32(b, r.lapStart);
  PutU32(b, (uint32_t)r.damage);
  PutU32(b, (uint32_t)r.automatic);
  PutU32(b, (uint32_t)controls);
  PutU32(b, (uint32_t)states);
  for (size_t i = 0; i < controls; ++i) {
    const ReplaySnapshot& s = r.controls[i];
    PutU32(b, r.controlStamps[i]);
    PutF(b, s.Throttle);
    PutF(b, s.Brake);
    PutF(b, s.Steering);
    PutU32(b, (uint32_t)s.Handbrake);
    PutU32(b, (uint32_t)s.Spare);
    PutU32(b, (uint32_t)s.Gear);
  }
  for (size_t i = 0; i < states; ++i) {
    const ReplayState& s = r.states[i];
    PutU32(b, r.stateStamps[i]);
    PutV(b, s.Position);
    PutV(b, s.Velocity);
    PutF(b, s.Rotation.x);
    PutF(b, s.Rotation.y);
    PutF(b, s.Rotation.z);
    PutF(b, s.Rotation.w);
    PutV(b, s.Spin);
  }
  PutU32(b, RecordChecksum(b.data(), b.size()));
  return b;
}

bool DecodeRecording(const uint8_t* data, size_t size, RecordKind expected, Recording* out, std::string* why) {
  if (size < kRecordHeaderBytes + 4) return Fail(why, "too short to be a recording");
  if (memcmp(data, kMagic, 4) != 0) return Fail(why, "not a recording file");
  if (GetU16(data + 4) != kVersion) return Fail(why, "a recording of an unknown version");
  const uint16_t kind = GetU16(data + 6);
  if (kind != (uint16_t)expected)
    return Fail(why, expected == RecordKind::kGhost ? "not a ghost lap" : "not a saved replay");
  const uint32_t controls = GetU32(data + 152), states = GetU32(data + 156);
  if (controls == 0 || states == 0 || controls > kRecordMaxSamples || states > kRecordMaxSamples)
    return Fail(why, "sample counts out of range");
  const size_t whole = kRecordHeaderBytes + (size_t)controls * kRecordControlBytes +
                       (size_t)states * kRecordStateBytes + 4;
  if (size < whole) return Fail(why, "truncated");
  if (size > whole) return Fail(why, "trailing bytes after the recording");
  if (RecordChecksum(data, size - 4) != GetU32(data + size - 4)) return Fail(why, "checksum mismatch");
  if (!memchr(data + 8, 0, kRecordEntryChars) || !memchr(data + 72, 0, kRecordEntryChars))
    return Fail(why, "car or track name without its end");
  const int32_t damage = (int32_t)GetU32(data + 144), automatic = (int32_t)GetU32(data + 148);
  if ((damage != 0 && damage != 1) || (automatic != 0 && automatic != 1)) return Fail(why, "switches out of range");

  out->kind = expected;
  memcpy(out->car, data + 8, kRecordEntryChars);
  memcpy(out->track, data + 72, kRecordEntryChars);
  out->time = GetU32(data + 136);
  out->lapStart = GetU32(data + 140);
  out->damage = damage;
  out->automatic = automatic;
  out->controlStamps.resize(controls);
  out->controls.resize(controls);
  out->stateStamps.resize(states);
  out->states.resize(states);
  const uint8_t* p = data + kRecordHeaderBytes;
  for (uint32_t i = 0; i < controls; ++i, p += kRecordControlBytes) {
    ReplaySnapshot& s = out->controls[i];
    out->controlStamps[i] = GetU32(p);
    s.Throttle = GetF(p + 4);
    s.Brake = GetF(p + 8);
    s.Steering = GetF(p + 12);
    s.Handbrake = (int32_t)GetU32(p + 16);
    s.Spare = (int32_t)GetU32(p + 20);
    s.Gear = (int32_t)GetU32(p + 24);
    if (!Sane(s.Throttle) || !Sane(s.Brake) || !Sane(s.Steering)) return Fail(why, "a control value out of range");
  }
  for (uint32_t i = 0; i < states; ++i, p += kRecordStateBytes) {
    ReplayState& s = out->states[i];
    out->stateStamps[i] = GetU32(p);
    s.Position = GetV(p + 4);
    s.Velocity = GetV(p + 16);
    s.Rotation = D3DXQUATERNION(GetF(p + 28), GetF(p + 32), GetF(p + 36), GetF(p + 40));
    s.Spin = GetV(p + 44);
    const D3DXQUATERNION& q = s.Rotation;
    const float norm = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
    if (!Sane(s.Position) || !Sane(s.Velocity) || !Sane(s.Spin) || !std::isfinite(norm) || norm < 0.5f ||
        norm > 2.0f)
      return Fail(why, "a body state out of range");
  }
  if (!Rising(out->controlStamps) || !Rising(out->stateStamps)) return Fail(why, "time stamps not rising");
  if (out->lapStart > out->stateStamps.back() || out->lapStart > out->controlStamps.back())
    return Fail(why, "the lap starts after its samples end");
  return true;
}

bool WriteRecordFile(const char* path, const Recording& r) {
  const std::vector<uint8_t> bytes = EncodeRecording(r);
  if (bytes.empty()) {
    fprintf(stderr, "vrx: not writing %s: the recording is empty or out of range\n", path);
    return false;
  }
  return WriteFileSafely(path, bytes.data(), bytes.size());
}

RecordRead LoadRecordFile(const char* path, RecordKind expected, Recording* out, std::string* why) {
  FILE* f = fopen(path, "rb");
  if (!f) {
    const int error = errno;
    *why = strerror(error);
    return error == ENOENT ? RecordRead::kMissing : RecordRead::kBad;
  }
  std::vector<uint8_t> bytes;
  const size_t largest =
      kRecordHeaderBytes + kRecordMaxSamples * (kRecordControlBytes + kRecordStateBytes) + 4;
  uint8_t chunk[65536];
  size_t n;
  bool tooLarge = false;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) {
    if (bytes.size() + n > largest) {
      tooLarge = true;
      break;
    }
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  const bool failed = ferror(f) != 0;
  fclose(f);
  if (failed) {
    *why = "read error";
    return RecordRead::kBad;
  }
  if (tooLarge) {
    *why = "too large to be a recording";
    return RecordRead::kBad;
  }
  return DecodeRecording(bytes.data(), bytes.size(), expected, out, why) ? RecordRead::kOk : RecordRead::kBad;
}

RecordRead ReadRecordFile(const char* path, RecordKind expected, Recording* out) {
  std::string why;
  const RecordRead result = LoadRecordFile(ResolvePath(path).c_str(), expected, out, &why);
  if (result == RecordRead::kBad) fprintf(stderr, "vrx: ignoring %s: %s\n", path, why.c_str());
  return result;
}

}  // namespace vrx
