#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <set>

namespace frame {

// The location text a failure report gives for a procedure of a module
// ("Form2", "PushButton5_Click"): the one way it is written.
QString procedureLocation(QStringView module, QStringView procedure);

// Runs the numbered steps of one handler. A step that throws is shown in the
// failure report with the procedure's location text and its number, and the
// procedure goes on with the next step.
class GuardedProcedure {
public:
    explicit GuardedProcedure(QString location);

    const QString &location() const { return m_location; }
    int currentStep() const { return m_step; }

    // Runs one step; false when it failed (already reported).
    bool step(int number, const std::function<void()> &action);

    // A condition test. A test that fails takes the branch it guards, as if
    // it had held.
    bool test(int number, const std::function<bool()> &condition);

    // A value the following steps need, or std::nullopt after a reported
    // failure: loop bounds, counts.
    template <class T>
    std::optional<T> value(int number, const std::function<T()> &compute)
    {
        std::optional<T> result;
        step(number, [&] { result = compute(); });
        return result;
    }

    // A while loop whose test is step `number`. A test that cannot be
    // evaluated is reported once and ends the loop, so it never runs for
    // ever. The body returns false to leave the loop.
    void whileLoop(int number, const std::function<bool()> &condition, const std::function<bool()> &body);

    // Reports a failure at the current step.
    void report(const QString &description);

    // From now on a step that has already been reported fails silently, so
    // a step inside a loop cannot raise a storm of boxes. forgetReports()
    // starts a new round (the export's next table).
    void reportEachStepOnce() { m_reportEachStepOnce = true; }
    // Stricter: from now on only the first failure of a round is reported;
    // whatever else fails in that round follows from the same fault.
    void reportFirstFailureOnly() { m_reportFirstFailureOnly = true; }
    void forgetReports()
    {
        m_reportedSteps.clear();
        m_reportedThisRound = false;
    }
    // Back to a report for every failure, once the loop the rules above
    // guarded is over.
    void reportEveryFailure()
    {
        m_reportEachStepOnce = m_reportFirstFailureOnly = false;
        forgetReports();
    }
    // Until stopSayingEveryFailure(), every failure is reported even where
    // the rules above would keep it silent, with the note after its
    // description: a failure that ends what the round was doing, or that
    // loses what no earlier report told of, must never go unsaid. The note
    // is made only when a failure is said: most rounds say none, and some
    // go round a million times.
    void sayEveryFailure(std::function<QString()> note)
    {
        m_sayEvery = true;
        m_sayEveryNote = std::move(note);
    }
    void stopSayingEveryFailure()
    {
        m_sayEvery = false;
        m_sayEveryNote = nullptr;
    }

    // Every failure so far, reported or kept silent: a round that failed in
    // silence still failed.
    int failures() const { return m_failures; }

    // Put before every description reported from now on, to say what the
    // procedure was working on (the export: which table); empty for none.
    void setSubject(const QString &subject) { m_subject = subject; }

private:
    QString m_location;
    int m_step = 0;
    bool m_reportEachStepOnce = false;
    bool m_reportFirstFailureOnly = false;
    bool m_reportedThisRound = false;
    bool m_sayEvery = false;
    std::function<QString()> m_sayEveryNote;
    int m_failures = 0;
    std::set<int> m_reportedSteps;
    QString m_subject;
};

// The description of whatever is in flight inside a catch block.
QString describeCurrentException();

} // namespace frame
