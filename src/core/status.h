#pragma once
// Failure as a value: what went wrong for the user (the program's own French text) and why,
// for the command-line tool and for test failures. Nothing below the windows throws by design.

#include <optional>
#include <string>
#include <utility>

namespace frontlys {

enum class StatusCode {
    Ok,
    NotFound,
    BadFormat,
    IoError,
    MissingInput,
    OutOfRange,
    NumericalFailure,
    Cancelled
};

// The status of a long computation stopped at the user's request between two of its steps.
inline constexpr const char* kCancelledReason = "cancelled";

struct [[nodiscard]] Status {
    StatusCode code = StatusCode::Ok;
    std::string message;  // shown to the user as is
    std::string reason;   // technical detail

    bool ok() const { return code == StatusCode::Ok; }
    static Status Ok() { return {}; }
    static Status Fail(StatusCode code, std::string message, std::string reason = {})
    {
        return {code, std::move(message), std::move(reason)};
    }
};

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Status failure) : m_status(std::move(failure)) {}

    bool ok() const { return m_value.has_value(); }
    const Status& status() const { return m_status; }
    T& value() { return *m_value; }
    const T& value() const { return *m_value; }
    T take() { return std::move(*m_value); }

private:
    std::optional<T> m_value;
    Status m_status;
};

}  // namespace frontlys
