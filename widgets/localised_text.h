// Localised string N as the windows show it.
#pragma once

#include <QString>

#include "config/localisation.h"

inline QString Localised(int32_t number) { return QString::fromStdString(LocalisedString(number)); }
