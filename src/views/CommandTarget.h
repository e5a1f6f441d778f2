#pragma once

namespace tessary {

// What a target answers to an enable query.
struct CommandState {
    bool enabled = true;
    // Set `checkable` when the command shows a check mark; `checked` is then
    // its state.
    bool checkable = false;
    bool checked = false;
};

// Something that handles command ids: the command manager, the output bar,
// the views, the document, the frame and the application. The frame offers
// every id to its targets in a fixed order and the first one that handles it
// wins, for execution and for enable queries alike.
class ICommandTarget {
public:
    virtual ~ICommandTarget() = default;

    // If this target handles `id`, fills `state` with its enable rule and
    // returns true; otherwise returns false and leaves `state` alone.
    virtual bool QueryCommand(int id, CommandState& state) = 0;
    // If this target handles `id`, runs it and returns true; otherwise
    // returns false. The router only calls it while the id is enabled.
    // Failures may leave as exceptions: the router reports them.
    virtual bool ExecuteCommand(int id) = 0;
};

// A target that handles nothing: stands in where a collaborator does not
// take part in routing yet.
class CNullCommandTarget : public ICommandTarget {
public:
    bool QueryCommand(int, CommandState&) override { return false; }
    bool ExecuteCommand(int) override { return false; }
};

} // namespace tessary
