#pragma once

namespace tessary {

// One user action on the library. A handler builds the command with what it
// needs (non-owning references), calls Execute once and discards it; no
// command outlives its handler, and none is queued, repeated or undone.
// Execute reports its own failures to the user, or throws (the command
// dispatch reports what it catches).
class CCommand {
public:
    virtual ~CCommand() = default;
    virtual void Execute() = 0;

protected:
    CCommand() = default;
    CCommand(const CCommand&) = delete;
    CCommand& operator=(const CCommand&) = delete;
};

// What an entry's edit dialog answers when the user confirms it. Anything
// else (cancel, or -1 for a kind without a dialog) changes nothing.
inline constexpr int kDialogConfirmed = 1;

} // namespace tessary
