#pragma once

// A random user of the main window: seeded sequences of actions taken from
// one weighted table, with every modal question answered at random, and the
// window's invariants checked after each action.

#include <QTemporaryDir>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

class QDialog;

namespace tessary {
class CCategory;
class CItem;
} // namespace tessary

namespace tessary::test {

using Rng = std::mt19937;

// One action of a sequence: the action's name in the table and the seed of
// its own choices, so that a sequence with steps left out still replays.
struct Step {
    std::string action;
    std::uint32_t seed = 0;
};

class CRandomPrompts;

class CRandomUser {
public:
    CRandomUser();
    ~CRandomUser();

    // Starts the program on a fresh folder with generated source folders.
    void Start();
    // Closes it without questions.
    void Stop();
    // A step drawn from the enabled actions by weight.
    Step Choose(Rng& master);
    // Runs `step` (nothing when its action is not enabled now) and checks
    // the invariants; returns the first one broken, or empty.
    std::string Do(const Step& step);
    std::size_t ActionsRun() const { return m_actionsRun; }
    // How deep the run went: the largest library, dialogs confirmed, commands run.
    std::size_t m_largest = 0;
    std::size_t m_confirmed = 0;
    std::size_t m_commands = 0;

    // What the actions use.
    Rng m_rng; // the current step's choices (and the answers' between steps)
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<CRandomPrompts> m_prompts;
    bool m_filtered = false; // the list shows a filtered subset since its last refill
    QString m_savedToCheck; // a library just saved, to be opened again
    std::string m_baseline; // the library's bytes when last unmodified
    bool m_replaced = false; // the library was replaced during the step

    QString Path(const QString& name) const { return m_dir->filePath(name); }
    QString RandomFolder(Rng& rng) const;
    QString RandomLibrary(Rng& rng, bool forSaving) const;
    void AnswerModal();

private:
    std::string Check(bool wasModified);
    std::size_t m_actionsRun = 0;
    std::vector<std::pair<const QDialog*, int>> m_attempts;
};

// The names of the table's actions, in table order.
std::vector<std::string> ActionNames();

} // namespace tessary::test
