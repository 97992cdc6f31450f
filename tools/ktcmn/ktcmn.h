/* The host's string library: the library requires it beside the host module, calls Initialize
 * once per recovery, and leaves the translation of its resource keys to the host, which may use
 * GetString for that. */
#ifndef QRX_KTCMN_H
#define QRX_KTCMN_H

#include <stdint.h>

#include "qrx/qrx.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Remembers the caller's initialisation value (the library passes 286). Returns 1. */
QRX_EXPORT int32_t Initialize(int32_t value);

/* The English text for one of the library's resource keys ("App/Resources/DllStrings/qrx/Pass1",
 * ".../Pass2", ".../Pass3", ".../Done"); any other key comes back unchanged. Null gives null. */
QRX_EXPORT const qrx_utf16_t* GetString(const qrx_utf16_t* key);

#ifdef __cplusplus
}
#endif

#endif /* QRX_KTCMN_H */
