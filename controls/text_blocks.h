// Memory for the blocks the receive box keeps its text in.
#pragma once

#include <QtGlobal>

#include <memory>

struct TextBlockDeleter
{
    void operator()(char16_t *block) const;
};
using TextBlock = std::unique_ptr<char16_t[], TextBlockDeleter>;

// A block of the given number of characters, its memory already backed by the
// system where that can be asked for: a stream fills a block in moments, and
// taking its pages one fault at a time cost more than the text going in.
TextBlock newTextBlock(qsizetype characters);
