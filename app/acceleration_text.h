// What the windows say about the graphics card's admission: why denoising stays on the processor.
#pragma once

#include <QString>

#include "engine/gpu_self_test.h"

// Empty for an admitted card.
QString AccelerationReason(const AccelerationAdmission& card);
