// Reads a dialog's fields into its members the way the framework's data
// exchange does: integers as "%d" reads them, and at the first field that is
// not an integer the "Enter an integer." box, after which the remaining fields
// keep their previous values. Shared by the Send data and Screen Settings
// dialogs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/message_box.h"

namespace tarnwick {

inline constexpr const char* kApplicationTitle = "Tarnwick";
inline constexpr const char* kEnterAnInteger = "Enter an integer.";

// The integer at the start of text as sscanf "%d" (or a 32-bit "%ld") finds
// it: leading white space and one sign are allowed, anything after the digits
// is ignored. Values beyond the 32-bit range saturate to INT32_MIN/INT32_MAX.
// Empty when the text does not begin with a number.
std::optional<std::int32_t> ScanInteger(std::string_view text);

class FieldReader {
 public:
  // The box carries the application's title as its caption and the warning
  // icon that the framework gives a box without an icon of its own.
  explicit FieldReader(MessageBoxes& boxes, std::string_view title = kApplicationTitle);

  // Reads one integer field. On a bad field shows the box and returns false;
  // after a failure (here or earlier) member keeps its value.
  bool Integer(std::string_view text, std::int32_t& member);

  // Any other field, taken in the same order so a failure stops it too.
  template <class T>
  bool Value(const T& value, T& member) {
    ++m_nFields;
    if (Failed()) return false;
    member = value;
    return true;
  }

  bool Failed() const { return m_nFailedField >= 0; }
  // Position of the bad field in reading order (for the focus), -1 when none.
  int FailedField() const { return m_nFailedField; }
  // Fields taken so far, the bad one and those after it included.
  int FieldCount() const { return m_nFields; }

 private:
  MessageBoxes& m_boxes;
  std::string m_strTitle;
  int m_nFields = 0;
  int m_nFailedField = -1;
};

}  // namespace tarnwick
