#ifndef TAVRIN_CARD_H
#define TAVRIN_CARD_H

#include <Bitmap.h>

#include <cstddef>

// The address face of a postcard, drawn from a Person file's fields: the
// postal code in its seven boxes at the top, the address down the right, the
// addressee's name with an honorific down the middle, each one character a
// line. Answers a new bitmap the caller owns, or NULL when there is no memory
// for one.
BBitmap* draw_card(const char* firstname, const char* lastname, const char* zip,
                   const char* address);

// Characters of a UTF-8 text, told by their first byte: how many there are,
// and the n-th copied into out (room for four bytes) with 0, or -1 when there
// is none.
int utf8_length(const char* s);
int utf8_char(const char* s, int n, char* out);
// The length of the longest beginning of s's first length bytes that ends
// with a whole character.
size_t utf8_whole_length(const char* s, size_t length);

#endif
