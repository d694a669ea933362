#include "MapScript.h"

#include <cmath>

namespace drivora {

PageCall ParsePageScript(const QString &script)
{
    PageCall call;
    if (script.isEmpty())
        return call;
    QString text = script;
    const QLatin1String prefix("javascript:");
    if (const qsizetype at = text.indexOf(prefix); at >= 0)
        text = text.mid(at + prefix.size());
    const qsizetype open = text.indexOf(QLatin1Char('('));
    if (open < 0)
        return call; // no argument list: no name either
    call.function = text.left(open).trimmed();
    static const QString delimiters = QStringLiteral(" ,'\"\t();");
    QString token;
    for (const QChar c : QStringView(text).mid(open + 1)) {
        if (delimiters.contains(c)) {
            if (!token.isEmpty())
                call.arguments.append(std::exchange(token, QString()));
        } else {
            token.append(c);
        }
    }
    if (!token.isEmpty())
        call.arguments.append(token);
    return call;
}

QString ScriptStringLiteral(const QString &text)
{
    QString out;
    out.reserve(text.size() + 2);
    out.append(QLatin1Char('"'));
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '"' || u == '\\') {
            out.append(QLatin1Char('\\'));
            out.append(c);
        } else if (u >= 0x20 && u < 0x7F) {
            out.append(c);
        } else {
            out.append(QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0')));
        }
    }
    out.append(QLatin1Char('"'));
    return out;
}

QString PageCallSource(const PageCall &call)
{
    if (call.function.isEmpty())
        return {};
    QString arguments;
    for (const QString &a : call.arguments) {
        if (!arguments.isEmpty())
            arguments.append(QLatin1Char(','));
        arguments.append(ScriptStringLiteral(a));
    }
    return QStringLiteral("(function(name,args){try{"
                          "if(!Object.prototype.hasOwnProperty.call(window,name))return '';"
                          "var f=window[name];if(typeof f!=='function')return '';"
                          "var r=f.apply(window,args);return (r===undefined||r===null)?'':String(r);"
                          "}catch(e){return '';}})(%1,[%2])")
        .arg(ScriptStringLiteral(call.function), arguments);
}

double NmeaToDegrees(double degreesMinutes)
{
    const double x = degreesMinutes * 0.01;
    const double d = std::trunc(x);
    return d + (x - d) * 100.0 / 60.0;
}

std::optional<QString> MarkerScriptAt(const TelemetryTrack<CGPSData> &track, uint32_t positionMs)
{
    const CGPSData *fix = track.firstAtOrAfter(positionMs);
    if (!fix || fix->valid == 0)
        return std::nullopt;
    return QString::asprintf("javascript:positionChange('%lf', '%lf')", NmeaToDegrees(fix->latitude),
                             NmeaToDegrees(fix->longitude));
}

QString RouteScript(const std::vector<const TelemetryTrack<CGPSData> *> &tracks)
{
    QString points;
    for (const TelemetryTrack<CGPSData> *track : tracks)
        for (const CGPSData &f : track->records()) {
            if (!f.valid)
                continue;
            if (!points.isEmpty())
                points += QLatin1Char('|');
            points += QString::asprintf("%.6f/%.6f/%.1f", NmeaToDegrees(f.latitude), NmeaToDegrees(f.longitude),
                                        f.speedKmh);
        }
    return points.isEmpty() ? QStringLiteral("javascript:clearRoute()")
                            : QStringLiteral("javascript:showRoute(") + points + QLatin1Char(')');
}

} // namespace drivora
