// The reason behind a system error number, in the operator's language.
#pragma once

#include <QString>

// Russian text for the errno values file and port operations commonly meet;
// the system's own text for any other.
QString SystemErrorText(int error);
