// SPDX-License-Identifier: MIT
#include "kit/base/MD5.h"

#include "kit/base/Strings.h"

#include <glib.h>

namespace kit {

MD5Digest md5(std::span<const std::uint8_t> bytes)
{
    MD5Digest digest {};
    GChecksum* checksum = g_checksum_new(G_CHECKSUM_MD5);
    // g_checksum_update takes a gssize; feed large inputs in pieces.
    constexpr std::size_t kChunk = std::size_t(1) << 30;
    for (std::size_t at = 0; at < bytes.size(); at += kChunk) {
        std::size_t length = std::min(kChunk, bytes.size() - at);
        g_checksum_update(checksum, bytes.data() + at, static_cast<gssize>(length));
    }
    gsize length = digest.size();
    g_checksum_get_digest(checksum, digest.data(), &length);
    g_checksum_free(checksum);
    return digest;
}

MD5Digest md5(std::string_view text)
{
    return md5(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::string md5Hex(const MD5Digest& digest, bool uppercase) { return hexString(digest.data(), digest.size(), uppercase); }

} // namespace kit
