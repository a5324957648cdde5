#pragma once
// A set of result files written as a whole: every file goes first into a hidden folder inside the
// output folder, and only when all of them are written are they renamed into place, the files of an
// older run of the same set that the new run does not write being removed. A failure (full disk,
// file-size limit, a write refused) removes the hidden folder and leaves the previous set exactly as
// it was. Ctrl-C or a termination request during the writing is held until the set is whole or
// rolled back; during the computation it ends the run with a message and nothing written.

#include <filesystem>
#include <string>
#include <vector>

#include "core/status.h"

namespace frontlys::cli {

// Installs the handlers once: SIGXFSZ is ignored (a write past the limit then fails with EFBIG and
// is reported), SIGINT/SIGTERM/SIGHUP print a message and end the process (status 130).
void InstallSignalHandlers();

// Refused before anything is computed: a path that exists and is no folder, or a folder (or its
// nearest existing parent, when it is still to be made) in which we may not write.
[[nodiscard]] Status CheckOutputFolder(const std::filesystem::path& folder);

class OutputSet {
public:
    // `names`: every file the set can hold (an older run's ones not rewritten are removed).
    OutputSet(std::filesystem::path folder, std::vector<std::string> names);
    ~OutputSet();  // rolls back unless committed
    OutputSet(const OutputSet&) = delete;
    OutputSet& operator=(const OutputSet&) = delete;

    // Creates the folder when missing and the hidden staging folder inside it.
    [[nodiscard]] Status Begin();
    // Where to write file `name` now; its final place is folder / name.
    std::filesystem::path Staged(const std::string& name) const;
    std::filesystem::path Final(const std::string& name) const { return m_folder / name; }
    const std::filesystem::path& StagingFolder() const { return m_staging; }
    // Moves the staged files into place and removes the older run's others. Refused (and rolled
    // back) when an interruption arrived while writing.
    [[nodiscard]] Status Commit();
    // A failure while staging, told with the final folder in place of the hidden one.
    Status AsFinal(Status failure) const;
    // The files the last Commit put in place, in the order of `names`.
    const std::vector<std::filesystem::path>& Written() const { return m_written; }

private:
    void RollBack();
    std::filesystem::path m_folder;
    std::vector<std::string> m_names;
    std::filesystem::path m_staging;
    std::vector<std::filesystem::path> m_written;
    bool m_signalsHeld = false;
    bool m_madeFolder = false;
};

}  // namespace frontlys::cli
