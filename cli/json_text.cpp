#include "cli/json_text.h"

#include <cstdio>

#include "platform/utf8.h"

namespace cli {

std::string JsonString(std::string_view text) {
  const std::string valid = RepairUtf8(text);
  std::string out = "\"";
  for (const char c : valid) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof(escaped), "\\u%04x", c);
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

std::string JsonNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof(text), "%.2f", value);
  return text;
}

std::string JsonObject(const JsonFields& fields) {
  std::string out = "{";
  for (size_t i = 0; i < fields.size(); ++i) {
    out += (i ? ", " : "") + JsonString(fields[i].first) + ": " + fields[i].second;
  }
  return out + "}";
}

JsonFields ProfileFields(const IsoProfile& p) {
  return {{"iso", std::to_string(p.isoValue)},
          {"strength", JsonNumber(p.m_dStrength)},
          {"chroma", JsonNumber(p.m_dStrengthChroma)},
          {"chromaLarge", JsonNumber(p.m_dStrengthChromaLarge)},
          {"dynamics", JsonNumber(p.m_dDynamics)},
          {"sharpen", "[" + JsonNumber(p.m_dSharp1) + ", " + JsonNumber(p.m_dSharp2) + ", " +
                          JsonNumber(p.m_dSharp3) + "]"},
          {"noiseLuma", JsonNumber(p.m_dImmerkaerY)},
          {"noiseChroma", JsonNumber(p.m_dImmerkaerUV)},
          {"median", std::to_string(p.m_iUseMedian)}};
}

}  // namespace cli
