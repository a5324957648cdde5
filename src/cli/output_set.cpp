#include "cli/output_set.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "cli/language.h"

namespace frontlys::cli {
namespace {

constexpr const char* kUnusableFolder = "Dossier de sortie inutilisable";

// Chosen before any signal can arrive: the handler may only write and exit.
const char* g_interruptMessage = "frontlys-cli: interrupted, no result file was changed\n";
const char* g_interruptAfterMessage = "frontlys-cli: interrupted\n";
volatile std::sig_atomic_t g_setCommitted = 0;

extern "C" void OnInterrupt(int)
{
    const char* text = g_setCommitted ? g_interruptAfterMessage : g_interruptMessage;
    const ssize_t ignored = ::write(STDERR_FILENO, text, std::strlen(text));
    (void)ignored;
    ::_exit(130);
}

sigset_t InterruptSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, s);
    return set;
}

bool InterruptPending()
{
    sigset_t pending;
    sigpending(&pending);
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        if (sigismember(&pending, s)) return true;
    return false;
}

void HoldInterrupts(bool hold)
{
    const sigset_t set = InterruptSignals();
    sigprocmask(hold ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

constexpr const char* kStagingPrefix = ".frontlys-new-";

// Staging folders that runs killed outright (no handler runs) left behind: those of a process that
// is gone, named ".frontlys-new-<pid>-XXXXXX"; an older run's, without a pid, once a day old.
void RemoveStaleStaging(const std::filesystem::path& folder)
{
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(kStagingPrefix) || !entry.is_directory(ec)) continue;
        const std::string rest = name.substr(std::strlen(kStagingPrefix));
        const auto dash = rest.find('-');
        bool stale = false;
        if (dash != std::string::npos && dash > 0 && rest.find_first_not_of("0123456789") == dash) {
            const long pid = std::strtol(rest.c_str(), nullptr, 10);
            stale = pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
        } else {
            const auto age = std::filesystem::file_time_type::clock::now() - entry.last_write_time(ec);
            stale = !ec && age > std::chrono::hours(24);
        }
        if (stale) std::filesystem::remove_all(entry.path(), ec);
    }
}

Status Unusable(const std::filesystem::path& p, std::string why)
{
    return Status::Fail(StatusCode::IoError, kUnusableFolder, p.string() + ": " + why);
}

}  // namespace

void InstallSignalHandlers()
{
    if (CurrentLanguage() == Lang::Fr) {
        g_interruptMessage = "frontlys-cli : interrompu, aucun fichier de résultat n'a été modifié\n";
        g_interruptAfterMessage = "frontlys-cli : interrompu\n";
    }
    std::signal(SIGXFSZ, SIG_IGN);
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
}

Status CheckOutputFolder(const std::filesystem::path& folder)
{
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(folder, ec);
    if (ec) return Unusable(folder, ec.message());
    if (std::filesystem::exists(p, ec)) {
        if (!std::filesystem::is_directory(p, ec)) return Unusable(folder, "exists and is not a folder");
        if (::access(p.c_str(), W_OK | X_OK) != 0) return Unusable(folder, std::strerror(errno));
        return Status::Ok();
    }
    // To be made: the nearest existing parent must be a folder we may write in.
    while (p.has_parent_path() && p != p.parent_path() && !std::filesystem::exists(p, ec))
        p = p.parent_path();
    if (!std::filesystem::is_directory(p, ec)) return Unusable(folder, p.string() + " is not a folder");
    if (::access(p.c_str(), W_OK | X_OK) != 0)
        return Unusable(folder, p.string() + ": " + std::strerror(errno));
    return Status::Ok();
}

OutputSet::OutputSet(std::filesystem::path folder, std::vector<std::string> names)
    : m_folder(std::move(folder)), m_names(std::move(names))
{
}

OutputSet::~OutputSet() { RollBack(); }

Status OutputSet::Begin()
{
    if (Status s = CheckOutputFolder(m_folder); !s.ok()) return s;
    std::error_code ec;
    m_madeFolder = !std::filesystem::exists(m_folder, ec);
    std::filesystem::create_directories(m_folder, ec);
    if (ec)
        return Status::Fail(StatusCode::IoError,
                            "Dossier de sortie impossible à créer",
                            m_folder.string() + ": " + ec.message());
    HoldInterrupts(true);
    m_signalsHeld = true;
    g_setCommitted = 0;
    RemoveStaleStaging(m_folder);
    std::string pattern = (m_folder / (kStagingPrefix + std::to_string(::getpid()) + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) {
        const int error = errno;
        RollBack();
        return Unusable(m_folder, std::strerror(error));
    }
    m_staging = pattern;
    return Status::Ok();
}

std::filesystem::path OutputSet::Staged(const std::string& name) const { return m_staging / name; }

Status OutputSet::Commit()
{
    if (InterruptPending()) {
        RollBack();
        return Status::Fail(StatusCode::IoError, "Écriture interrompue", "Ctrl-C or a termination request");
    }
    m_written.clear();
    std::error_code ec;
    for (const std::string& name : m_names) {
        const auto staged = Staged(name), final = Final(name);
        if (std::filesystem::exists(staged, ec)) {
            std::filesystem::rename(staged, final, ec);
            if (ec) {
                RollBack();
                return Status::Fail(
                    StatusCode::IoError, "Erreur d'écriture du fichier " + final.string(), ec.message());
            }
            m_written.push_back(final);
        } else if (std::filesystem::is_regular_file(final, ec)) {
            std::filesystem::remove(final, ec);  // an older run's file that this set no longer has
        }
    }
    g_setCommitted = 1;
    m_madeFolder = false;
    RollBack();  // removes the now empty staging folder and lets a held interruption through
    return Status::Ok();
}

Status OutputSet::AsFinal(Status failure) const
{
    if (m_staging.empty()) return failure;
    const std::string hidden = m_staging.string(), shown = m_folder.string();
    for (std::string* text : {&failure.message, &failure.reason})
        for (auto at = text->find(hidden); at != std::string::npos;
             at = text->find(hidden, at + shown.size()))
            text->replace(at, hidden.size(), shown);
    return failure;
}

void OutputSet::RollBack()
{
    if (!m_staging.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_staging, ec);
        m_staging.clear();
    }
    if (m_madeFolder) {
        std::error_code ec;
        std::filesystem::remove(m_folder, ec);  // only when still empty: a folder this run made
        m_madeFolder = false;
    }
    if (m_signalsHeld) {
        m_signalsHeld = false;
        HoldInterrupts(false);
    }
}

}  // namespace frontlys::cli
