#include "device/link_settings.h"

namespace kv58 {

void applyPortSettings(BslLink& link, const Settings& settings) {
    link.setPortName(settings.Port);
    link.setBaudRate(settings.Baud < 0 ? 0u : static_cast<uint32_t>(settings.Baud));
    link.setDataBits(static_cast<uint8_t>(settings.DataBit));
    link.setStopBits(settings.StopBit);
    link.setParity(settings.Parity);
    link.setInvertDtr(settings.InvertDTR);
    link.setInvertRts(settings.InvertRTS);
    link.setDataFolders(settings.DataFolders);
}

}  // namespace kv58
