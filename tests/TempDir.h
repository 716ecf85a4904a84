// A scoped temporary directory on the real disk, with small file helpers.
#ifndef KINREC_TESTS_TEMP_DIR_H
#define KINREC_TESTS_TEMP_DIR_H

#include <cstddef>
#include <string>

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() joined with a relative name ('/'-separated).
    std::string Path(const std::string& name) const;

  private:
    std::string path_;
};

// Writes bytes to a file, creating it or replacing it.
void WriteFile(const std::string& path, const std::string& bytes);
// The whole file, or "<missing>" when it cannot be read.
std::string ReadFile(const std::string& path);
// Text with CR LF line ends folded to LF, for comparing tables across platforms.
std::string FoldCrLf(const std::string& raw);
inline std::string ReadText(const std::string& path) {
    return FoldCrLf(ReadFile(path));
}
bool FileExists(const std::string& path);
void MakeDir(const std::string& path);

#endif
