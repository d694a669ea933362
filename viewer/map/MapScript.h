// The map page is driven by script texts such as
// "javascript:positionChange('37.566535', '126.977969')". This is how such a
// text becomes a call: the function's name and its arguments as texts, then a
// piece of script that looks the function up by name and passes the texts as
// string literals, so that nothing from a file or a text ever runs as script.
#pragma once

#include "catalogue/Telemetry.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace drivora {

struct PageCall {
    QString function;    // empty: the text names no function
    QStringList arguments;
    bool operator==(const PageCall &) const = default;
};

// The text after the first "javascript:" (the whole text without one); the
// name before the first "(", trimmed; the rest split at every run of space,
// comma, apostrophe, double quote, tab, "(", ")" and ";". Every piece is one
// string argument.
PageCall ParsePageScript(const QString &script);

// A texts as a script string literal: quotes, backslashes, control and line
// separator characters and everything outside ASCII as escapes.
QString ScriptStringLiteral(const QString &text);

// Script that calls the page's global function `call.function` with the
// arguments as strings and evaluates to its result as a text ('' when there
// is no such function, it fails or returns nothing). Empty for a call
// without a function name.
QString PageCallSource(const PageCall &call);

// NMEA degrees and minutes (ddmm.mmmm, negative south and west) to decimal
// degrees, the integer part truncated toward zero.
double NmeaToDegrees(double degreesMinutes);

// The script that moves the marker to the fix for a playback position: the
// first sample at or after it. None past the last sample or for an invalid fix.
std::optional<QString> MarkerScriptAt(const TelemetryTrack<CGPSData> &track, uint32_t positionMs);

inline constexpr const char *kCenterScript = "javascript:toCenter()";

// The script that draws the track's route: its valid fixes as one text
// "lat/lon/kmh|..." (nothing in it is a delimiter of the call); clears the
// route when there is no valid fix.
QString RouteScript(const std::vector<const TelemetryTrack<CGPSData> *> &tracks);

} // namespace drivora
