#pragma once

#include <string>

namespace VendraTest {

// A fresh folder below the system's temporary folder, removed with all its
// contents when the holder goes away. Made readable and enterable by every
// user, so unprivileged children can reach what a test puts inside.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::u16string wpath() const;
  // path() joined with a relative name.
  std::string Sub(const std::string& name) const { return path_ + "/" + name; }
  std::u16string WSub(const std::string& name) const;

 private:
  std::string path_;
};

// A path as the programs print it on this system: with the system's own
// separator, '\\' on Windows.
std::string ShownPath(std::string path);

// Small file helpers for tests.
void WriteTextFile(const std::string& path, const std::string& content);
std::string ReadTextFile(const std::string& path);

}  // namespace VendraTest
