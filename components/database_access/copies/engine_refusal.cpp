#include "engine_refusal.h"

namespace dbaccess {

QString refusalReason(const QString &what, const EngineRefusal &refusal, const NameExplanation &explain)
{
    const QString known = refusal.name.isEmpty() ? QString() : explain(refusal.name);
    QString reason;
    switch (refusal.kind) {
    case EngineRefusal::UnknownTable:
        reason = known.isEmpty()
            ? QStringLiteral("%1 reads \"%2\", which this program's Firebird engine does not have").arg(what, refusal.name)
            : QStringLiteral("%1 reads \"%2\", which cannot be made either: %3").arg(what, refusal.name, known);
        break;
    case EngineRefusal::UnknownColumn:
        reason = QStringLiteral("%1 names the column %2, which its tables do not have as this program's Firebird "
                                "engine reads them").arg(what, refusal.name);
        break;
    case EngineRefusal::UnknownToken:
        reason = QStringLiteral("%1 is written in a form this program's Firebird engine reads differently (it stops "
                                "at \"%2\")").arg(what, refusal.name);
        break;
    case EngineRefusal::ColumnCount:
        reason = QStringLiteral("%1 no longer gives the columns the file records for it").arg(what);
        break;
    case EngineRefusal::UnknownFunction:
        reason = known.isEmpty()
            ? QStringLiteral("%1 calls the function \"%2\", which this program's Firebird engine does not have")
                  .arg(what, refusal.name)
            : QStringLiteral("%1 calls the external function \"%2\" of the library \"%3\", which this program does "
                             "not load").arg(what, refusal.name, known);
        break;
    case EngineRefusal::None:
    case EngineRefusal::Other:
        reason = QStringLiteral("this program's Firebird engine cannot make %1").arg(what);
        break;
    }
    // A reason of the missing object's own already carries the engine's words.
    const bool explained = refusal.kind == EngineRefusal::UnknownTable && !known.isEmpty();
    return refusal.text.isEmpty() || explained ? reason : reason + QStringLiteral(" (Firebird: %1)").arg(refusal.text);
}

} // namespace dbaccess
