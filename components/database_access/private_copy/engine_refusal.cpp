#include "engine_refusal.h"

namespace dbaccess {

QString refusalReason(const QString &what, const EngineRefusal &refusal, const NameExplanation &explain)
{
    const KnownName known = refusal.name.isEmpty() ? KnownName() : explain(refusal.name);
    QString reason;
    switch (refusal.kind) {
    case EngineRefusal::UnknownTable:
    case EngineRefusal::UnknownFunction:
        if (!known.whyUnmade.isEmpty())
            reason = QStringLiteral("%1 %2 \"%3\", which cannot be made either: %4")
                         .arg(what, refusal.kind == EngineRefusal::UnknownTable ? QStringLiteral("reads")
                                                                               : QStringLiteral("calls"),
                              refusal.name, known.whyUnmade);
        else if (!known.library.isEmpty())
            reason = QStringLiteral("%1 calls the external function \"%2\" of the library \"%3\", which this program "
                                    "does not load").arg(what, refusal.name, known.library);
        else if (refusal.kind == EngineRefusal::UnknownTable)
            reason = QStringLiteral("%1 reads \"%2\", which this program's Firebird engine does not have")
                         .arg(what, refusal.name);
        else
            reason = QStringLiteral("%1 calls the function \"%2\", which this program's Firebird engine does not have")
                         .arg(what, refusal.name);
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
    case EngineRefusal::None:
    case EngineRefusal::Other:
        reason = QStringLiteral("this program's Firebird engine cannot make %1").arg(what);
        break;
    }
    // A reason of the missing object's own already carries the engine's words.
    if (refusal.text.isEmpty() || !known.whyUnmade.isEmpty())
        return reason;
    return reason + QStringLiteral(" (Firebird: %1)").arg(refusal.text);
}

} // namespace dbaccess
