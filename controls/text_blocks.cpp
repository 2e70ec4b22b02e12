// Text blocks on page boundaries, made resident in one call where the system
// offers it (Linux 5.14 and later), else one page at a time as they fill.
#include "controls/text_blocks.h"

#include <new>

#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

namespace {

constexpr std::align_val_t kPageAlignment {4096};

} // namespace

void TextBlockDeleter::operator()(char16_t *block) const
{
    ::operator delete(block, kPageAlignment);
}

TextBlock newTextBlock(qsizetype characters)
{
    const size_t bytes = size_t(characters) * sizeof(char16_t);
    TextBlock block(static_cast<char16_t *>(::operator new(bytes, kPageAlignment)));
#ifdef MADV_POPULATE_WRITE
    // Only a request: an older kernel or a larger page size refuses it, and
    // the pages then come as they are written.
    ::madvise(block.get(), bytes, MADV_POPULATE_WRITE);
#endif
    return block;
}
