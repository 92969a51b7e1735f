// "This failed, and why", below a workflow's outcome: what a file read or replaced, a settings save,
// a port open or the loader's directory check answer when they fail.
#pragma once

#include <optional>
#include <string>
#include <utility>

// What kind of failure, for what a caller decides or advises; the words are in the reason.
enum class TProblemKind {
    Missing,         // no such file or device
    NoPermission,    // the system refuses access
    Busy,            // another program holds it
    NotRegular,      // a directory, a device or a pipe where a file was expected
    TooLarge,        // larger than the reader takes
    Unreadable,      // the system failed to read it
    WrongContents,   // read, but its size or contents are not what the reader takes
    Unwritable,      // the system failed to write or replace it
    Unformatted,     // the loader's block store was never formatted
    Damaged,         // the loader's block store does not check
    Other,
};

// A failure's kind and its reason: in the interface's Russian words, or the system's own.
class TProblem {
public:
    TProblem(TProblemKind kind, std::string reason) : kind_(kind), reason_(std::move(reason)) {}
    TProblemKind Kind() const { return kind_; }
    const std::string& Reason() const { return reason_; }
    bool operator==(const TProblem&) const = default;

private:
    TProblemKind kind_;
    std::string reason_;
};

// Empty when it went well.
using TMaybeProblem = std::optional<TProblem>;

// The kind, or none when it went well.
inline std::optional<TProblemKind> ProblemKindOf(const TMaybeProblem& problem)
{
    return problem ? std::optional(problem->Kind()) : std::nullopt;
}

// The reason, or an empty text when it went well.
inline std::string ReasonOf(const TMaybeProblem& problem) { return problem ? problem->Reason() : std::string(); }
