#include "desc_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vrxdata {

namespace {

std::string Trim(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t' || s[a] == '\r')) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r')) --b;
  return s.substr(a, b - a);
}

std::string Format(float v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

}  // namespace

bool ParseFloat(const std::string& text, float* out) {
  if (text.empty() || text.size() > 40) return false;
  size_t i = 0;
  if (text[i] == '+' || text[i] == '-') ++i;
  bool digits = false;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, digits = true;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, digits = true;
  }
  if (!digits) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    bool exp = false;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, exp = true;
    if (!exp) return false;
  }
  if (i != text.size()) return false;
  // strtod with the "C" locale rules is what the text promises; the checks
  // above already rejected everything it would stop early on.
  const double v = std::strtod(text.c_str(), nullptr);
  if (!std::isfinite(v) || std::fabs(v) > 1e30) return false;
  *out = static_cast<float>(v);
  return true;
}

std::vector<std::string> ListDescriptions(const std::string& dir, const std::string& extension) {
  std::vector<std::string> files;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file(ec) && it->path().extension() == extension)
      files.push_back(it->path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool DescParser::Fail(int line, const std::string& what) const {
  if (line > 0)
    std::fprintf(stderr, "%s:%d: %s\n", path_.c_str(), line, what.c_str());
  else
    std::fprintf(stderr, "%s: %s\n", path_.c_str(), what.c_str());
  return false;
}

DescParser::Key& DescParser::Declare(const char* key, bool required, bool repeated) {
  keys_.push_back(Key{key, required, repeated, 0, nullptr});
  return keys_.back();
}

void DescParser::Number(const char* key, float* out, float lo, float hi, bool required) {
  const std::string name = key;
  Declare(key, required, false).apply = [=](const DescLine& l) {
    float v;
    if (l.args.size() != 1) return Fail(l.line, name + " takes one number");
    if (!ParseFloat(l.args[0], &v)) return Fail(l.line, name + ": '" + l.args[0] + "' is not a number");
    if (v < lo || v > hi)
      return Fail(l.line, name + " " + l.args[0] + " is out of range (" + Format(lo) + " to " +
                              Format(hi) + ")");
    *out = v;
    return true;
  };
}

void DescParser::Integer(const char* key, int* out, int lo, int hi, bool required) {
  const std::string name = key;
  Declare(key, required, false).apply = [=](const DescLine& l) {
    float v;
    if (l.args.size() != 1) return Fail(l.line, name + " takes one whole number");
    if (!ParseFloat(l.args[0], &v) || v != std::floor(v))
      return Fail(l.line, name + ": '" + l.args[0] + "' is not a whole number");
    if (v < lo || v > hi)
      return Fail(l.line, name + " " + l.args[0] + " is out of range (" + std::to_string(lo) +
                              " to " + std::to_string(hi) + ")");
    *out = static_cast<int>(v);
    return true;
  };
}

void DescParser::Name(const char* key, std::string* out, size_t maxLen, bool required) {
  const std::string name = key;
  Declare(key, required, false).apply = [=](const DescLine& l) {
    if (l.args.size() != 1) return Fail(l.line, name + " takes one word");
    const std::string& v = l.args[0];
    if (v.size() > maxLen)
      return Fail(l.line, name + " '" + v + "' is longer than " + std::to_string(maxLen) +
                              " characters");
    for (char c : v)
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_')
        return Fail(l.line, name + " '" + v + "' may hold only letters, digits and '_'");
    *out = v;
    return true;
  };
}

void DescParser::Text(const char* key, std::string* out, size_t maxLen, bool required) {
  const std::string name = key;
  Declare(key, required, false).apply = [=](const DescLine& l) {
    if (l.rest.empty()) return Fail(l.line, name + " needs a text");
    if (l.rest.size() > maxLen)
      return Fail(l.line, name + " is longer than " + std::to_string(maxLen) + " characters");
    for (char c : l.rest)
      if (c < 32 || c > 126) return Fail(l.line, name + " may hold only printable ASCII");
    *out = l.rest;
    return true;
  };
}

void DescParser::Choice(const char* key, std::string* out, std::vector<std::string> words,
                        bool required) {
  const std::string name = key;
  Declare(key, required, false).apply = [=](const DescLine& l) {
    std::string all;
    for (const std::string& w : words) all += (all.empty() ? "" : ", ") + w;
    if (l.args.size() != 1) return Fail(l.line, name + " takes one of: " + all);
    if (std::find(words.begin(), words.end(), l.args[0]) == words.end())
      return Fail(l.line, name + " '" + l.args[0] + "' is none of: " + all);
    *out = l.args[0];
    return true;
  };
}

void DescParser::Colour(const char* key, uint32_t* out, bool required) {
  const std::string name = key;
  Declare(key, required, false).apply = [=](const DescLine& l) {
    if (l.args.size() != 1 || l.args[0].size() != 6 ||
        l.args[0].find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
      return Fail(l.line, name + " takes a colour as RRGGBB (six hexadecimal digits)");
    *out = 0xFF000000u | static_cast<uint32_t>(std::strtoul(l.args[0].c_str(), nullptr, 16));
    return true;
  };
}

void DescParser::Rows(const char* key, std::vector<DescRow>* out, int minCount, int maxCount,
                      float lo, float hi) {
  const std::string name = key;
  Declare(key, false, true).apply = [=](const DescLine& l) {
    const int n = static_cast<int>(l.args.size());
    if (n < minCount || n > maxCount) {
      const std::string count = minCount == maxCount
                                    ? std::to_string(minCount)
                                    : std::to_string(minCount) + " to " + std::to_string(maxCount);
      return Fail(l.line, name + " takes " + count + " numbers, not " + std::to_string(n));
    }
    DescRow row;
    row.line = l.line;
    for (const std::string& a : l.args) {
      float v;
      if (!ParseFloat(a, &v)) return Fail(l.line, name + ": '" + a + "' is not a number");
      if (v < lo || v > hi)
        return Fail(l.line, name + ": " + a + " is out of range (" + Format(lo) + " to " +
                                Format(hi) + ")");
      row.values.push_back(v);
    }
    out->push_back(row);
    return true;
  };
}

void DescParser::Lines(const char* key, std::vector<DescLine>* out) {
  Declare(key, false, true).apply = [out](const DescLine& l) {
    out->push_back(l);
    return true;
  };
}

bool DescParser::ReadLines(std::vector<DescLine>* lines) const {
  std::ifstream in(path_, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "%s: cannot open: %s\n", path_.c_str(), std::strerror(errno));
    return false;
  }
  std::string text;
  int number = 0;
  while (std::getline(in, text)) {
    ++number;
    const size_t hash = text.find('#');
    if (hash != std::string::npos) text.resize(hash);
    text = Trim(text);
    if (text.empty()) continue;
    DescLine l;
    l.line = number;
    const size_t end = text.find_first_of(" \t");
    l.key = text.substr(0, end);
    l.rest = end == std::string::npos ? std::string() : Trim(text.substr(end));
    std::istringstream words(l.rest);
    std::string w;
    while (words >> w) l.args.push_back(w);
    lines->push_back(l);
  }
  if (in.bad()) return Fail(0, "read error");
  return true;
}

bool DescParser::Parse() {
  std::vector<DescLine> lines;
  if (!ReadLines(&lines)) return false;
  for (const DescLine& l : lines) {
    auto it = std::find_if(keys_.begin(), keys_.end(), [&](const Key& k) { return k.name == l.key; });
    if (it == keys_.end()) return Fail(l.line, "unknown key '" + l.key + "'");
    if (it->seenAt && !it->repeated)
      return Fail(l.line, "'" + l.key + "' given again (first on line " +
                              std::to_string(it->seenAt) + ")");
    if (!it->seenAt) it->seenAt = l.line;
    if (!it->apply(l)) return false;
  }
  for (const Key& k : keys_)
    if (k.required && !k.seenAt) return Fail(0, "'" + k.name + "' is missing");
  return true;
}

}  // namespace vrxdata
