#include "profiles/profile_request.h"

DenoiseRequest RequestForProfile(const IsoProfile& profile, const EngineChoice& engine) {
  DenoiseRequest request;
  request.strength = profile.m_dStrength;
  request.strengthChroma = profile.m_dStrengthChroma;
  request.strengthChromaLarge = profile.m_dStrengthChromaLarge;
  request.quality = engine.quality;
  request.dynamics = profile.m_dDynamics;
  request.medianMode = profile.m_iUseMedian;
  // A grey picture is denoised as one component whatever this says.
  request.processInYUV = true;
  request.useGpu = engine.useGpu;
  request.fusion = engine.fusion;
  request.noiseLevels = engine.noiseLevels;
  return request;
}
