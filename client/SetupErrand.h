// Tells the log-report library who we are, where to report and which logs to send.
#pragma once

void SetupErrand();
