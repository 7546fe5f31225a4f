#pragma once

#include <QString>

// Asks the desktop's notification service (freedesktop notifications over the session bus) to
// show a notification from Quillon. Returns at once and never waits for an answer; without a
// session bus or a notification service nothing is shown and nothing fails.
void NotifyDesktop(const QString& summary, const QString& body);
