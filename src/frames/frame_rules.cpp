#include "frames/frame_rules.h"

namespace tarnwick {
namespace {

std::string PatternProblem(const BytePattern& pattern, const char* what) {
  if (pattern.empty()) return std::string(what) + " is empty.";
  if (pattern.size() > static_cast<std::size_t>(kLongestPattern))
    return std::string(what) + " is longer than 16 bytes.";
  return {};
}

}  // namespace

std::string RulesProblem(const FrameRules& rules) {
  if (rules.starts.size() > static_cast<std::size_t>(kMostStartPatterns))
    return "At most 8 start patterns.";
  for (const BytePattern& start : rules.starts) {
    if (std::string problem = PatternProblem(start, "A start pattern"); !problem.empty())
      return problem;
  }
  if (!rules.end.empty()) {
    if (std::string problem = PatternProblem(rules.end, "The end pattern"); !problem.empty())
      return problem;
  }
  if (rules.nMaxLength < 1 || rules.nMaxLength > kLargestMaxFrameLength)
    return "The maximum length must be 1 to 1048576 bytes.";
  if (rules.nFixedLength < 0 || rules.nFixedLength > rules.nMaxLength)
    return "The fixed length must be 1 to the maximum length.";
  const LengthField& field = rules.length;
  if (field.nSize != 0 && field.nSize != 1 && field.nSize != 2 && field.nSize != 4)
    return "A length field is 1, 2 or 4 bytes.";
  if (field.nSize != 0 && (field.nOffset < 0 || field.nOffset + field.nSize > rules.nMaxLength))
    return "The length field must lie inside the maximum length.";
  if (field.nAdjust < -kLargestMaxFrameLength || field.nAdjust > kLargestMaxFrameLength)
    return "The length adjustment is out of range.";
  if (rules.nFixedLength > 0 && field.nSize > 0)
    return "A fixed length and a length field cannot both end frames.";
  if (rules.HasLengthRule() && !rules.end.empty())
    return "An end pattern and a length cannot both end frames; count the end bytes in the "
           "length's adjustment.";
  if (rules.encoding != FrameEncoding::kNone &&
      (!rules.starts.empty() || !rules.end.empty() || rules.HasLengthRule()))
    return "COBS and SLIP frames end at their delimiter; start, end and length rules do not "
           "apply to them.";
  if (rules.silence < std::chrono::microseconds::zero() ||
      rules.silence > std::chrono::milliseconds(kLongestSilenceMs))
    return "The silence must be 0 to 60000 ms.";
  const bool ends = !rules.end.empty() || rules.HasLengthRule() ||
                    rules.silence > std::chrono::microseconds::zero() ||
                    rules.encoding != FrameEncoding::kNone || !rules.starts.empty();
  if (!ends) return "No rule ends a frame: give a start or end pattern, a length or a silence.";
  const ChecksumSpec& check = rules.checksum;
  if (check.nFrom < 0 || check.nFrom > rules.nMaxLength || check.nTrailer < 0 ||
      check.nTrailer > rules.nMaxLength)
    return "The checksum's range must lie inside the maximum length.";
  return {};
}

}  // namespace tarnwick
