// Air dates and numeric text, as the stored files and remote documents hold them.

#include "FuzzSupport.h"
#include "core/AirDate.h"
#include "core/NumericText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quorvel;
  const std::string text = fuzz::AsString(data, size);
  if (const auto t = ParseAirDate(text)) FormatLocalDate(*t);
  TextToInt(text);
  IsSeriesId(text);
  return 0;
}
