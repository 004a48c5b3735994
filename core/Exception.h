#pragma once
// The program's exception family: every failure the pipeline or the core raises derives from it,
// so a worker can tell the errors it reports from everything else.
#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};
