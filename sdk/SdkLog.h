// The SDK's log lines, written through the host's sink; silent until init
// stores one.
#pragma once

class FWlogger;
class FWCfgger;

void SetSdkLogger(FWlogger* log);
void SetSdkCfgger(FWCfgger* cfg);

void sdkLog(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void sdkLogWarn(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void shareLog(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void shareLogErr(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void shareLogWarn(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
