// The user's texts for the SDK's failure codes.
#pragma once

#include <QString>

// For the Reason of a failure notification (the box's codes and the SDK's own).
QString shareFailReasonText(int code);
// For a failure notification without a Reason: the notification's code.
QString sdkErrorText(int code);
