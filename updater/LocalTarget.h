#pragma once
// Where a download lands: a folder made for this run alone (mode 0700) in the temporary
// folder, holding the one file named by the server. The name is checked again here, so no
// server name can reach another folder.
#include <string>

namespace kobal::update {

class LocalTarget {
public:
    LocalTarget() = default;
    ~LocalTarget() = default; // the folder stays: the installer runs from it
    LocalTarget(const LocalTarget&) = delete;
    LocalTarget& operator=(const LocalTarget&) = delete;

    // Makes the folder and creates the file for writing (never following a link, never
    // reusing one). Returns the descriptor, or -1 with errno-style code in error.
    int create(const std::string& fileName, int& error);
    const std::string& path() const { return path_; }
    const std::string& folder() const { return folder_; }
    // Removes the file (if still there) and the folder.
    void remove();

private:
    std::string folder_;
    std::string path_;
};

} // namespace kobal::update
