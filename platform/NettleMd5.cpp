#include <nettle/md5.h>

#include "platform/Md5.h"

namespace tavlo::platform {

Md5Digest Md5(std::span<const std::uint8_t> data) {
    static_assert(kMd5DigestSize == MD5_DIGEST_SIZE);
    md5_ctx context{};
    md5_init(&context);
    md5_update(&context, data.size(), data.data());
    Md5Digest digest{};
    md5_digest(&context, digest.size(), digest.data());
    return digest;
}

}  // namespace tavlo::platform
