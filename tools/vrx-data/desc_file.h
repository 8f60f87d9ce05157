// Reading the text descriptions under content/: one "key value ..." entry a
// line, '#' starts a comment. A reader declares the keys it knows with their
// types and ranges; Parse() then checks every line and reports the first
// problem as "file:line: what" on stderr.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vrxdata {

struct DescLine {
  int line = 0;
  std::string key;
  std::vector<std::string> args;  // the words after the key
  std::string rest;               // the text after the key, trimmed (for free text)
};

// A repeated row of numbers ("point 10 20 0 0"), with its line for messages.
struct DescRow {
  int line = 0;
  std::vector<float> values;
};

class DescParser {
 public:
  explicit DescParser(std::string path) : path_(std::move(path)) {}

  // Declarations; each key may appear once unless declared as rows.
  void Number(const char* key, float* out, float lo, float hi, bool required = false);
  void Integer(const char* key, int* out, int lo, int hi, bool required = false);
  // A name of letters, digits and '_' (used for file names), at most maxLen long.
  void Name(const char* key, std::string* out, size_t maxLen, bool required = false);
  // Free text: the rest of the line, printable ASCII, at most maxLen long.
  void Text(const char* key, std::string* out, size_t maxLen, bool required = false);
  // One of a fixed set of words.
  void Choice(const char* key, std::string* out, std::vector<std::string> words,
              bool required = false);
  // An RRGGBB colour, stored as 0xFFRRGGBB.
  void Colour(const char* key, uint32_t* out, bool required = false);
  // Repeated rows of minCount..maxCount numbers, each checked against [lo, hi].
  void Rows(const char* key, std::vector<DescRow>* out, int minCount, int maxCount, float lo,
            float hi);

  // Repeated lines handed over as they stand, for rows that mix words and numbers.
  void Lines(const char* key, std::vector<DescLine>* out);

  // Reads the file and applies every line; false (message printed) on the
  // first error: unreadable file, unknown or repeated key, bad value, missing key.
  bool Parse();

  // Prints "file:line: what" (line 0: "file: what") and returns false.
  bool Fail(int line, const std::string& what) const;
  const std::string& path() const { return path_; }

 private:
  struct Key {
    std::string name;
    bool required = false;
    bool repeated = false;
    int seenAt = 0;  // line of the first appearance, 0 = not seen
    std::function<bool(const DescLine&)> apply;
  };
  Key& Declare(const char* key, bool required, bool repeated);
  bool ReadLines(std::vector<DescLine>* lines) const;

  std::string path_;
  std::vector<Key> keys_;
};

// Parses a whole number or decimal (optional sign, digits, '.', exponent);
// false for anything else, including trailing characters.
bool ParseFloat(const std::string& text, float* out);

// The description files with this extension in dir, sorted by name.
std::vector<std::string> ListDescriptions(const std::string& dir, const std::string& extension);

}  // namespace vrxdata
