// An exception whose message is wide text. A narrow what() cannot carry a path with letters
// outside the ANSI range intact; catch sites that show messages to the user take Message().
#pragma once
#include <stdexcept>
#include <string>

namespace tessary {

class TWideError : public std::runtime_error {
 public:
  explicit TWideError(std::wstring message);
  const std::wstring& Message() const { return message_; }

 private:
  std::wstring message_;
};

// The message of the exception being handled, for catch (...) blocks: Message() of a TWideError,
// what() of another std::exception (its bytes as Latin-1), or "unknown exception".
std::wstring DescribeCurrentException();

// UTF-8 of a wide text; surrogate pairs are joined, unpaired surrogates become U+FFFD.
std::string ToUtf8(const std::wstring& text);

}  // namespace tessary
