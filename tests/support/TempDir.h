// A temporary folder for one test, removed with everything in it when the object goes.
#pragma once

#include <string>

namespace testsupport {

class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    // The folder, without a trailing "/".
    const std::string& Path() const { return FPath; }
    // Path() + "/" + Name
    std::string File(const std::string& Name) const { return FPath + "/" + Name; }
    // Writes a file below the folder (creating sub-folders) and returns its path.
    std::string Write(const std::string& Name, const std::string& Content) const;

private:
    std::string FPath;
};

// The whole content of a file; throws std::runtime_error when it cannot be read.
std::string ReadFile(const std::string& Path);
// A free TCP port on 127.0.0.1 at the moment of asking.
unsigned short FreeLoopbackPort();
// Bytes 0..N-1 of a fixed pseudo-random sequence (all 256 byte values, zeros included).
std::string BinaryPattern(std::size_t N, unsigned Seed = 1);

} // namespace testsupport
