/* decode_frame <frame.zst>: decodes one zstd frame in one call, for an instruction profile of
 * the decoder (profile_decode.sh). */
#include <stdio.h>
#include <stdlib.h>

#include <zstd.h>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  FILE* file = fopen(argv[1], "rb");
  if (!file) return 2;
  fseek(file, 0, SEEK_END);
  long size = ftell(file);
  fseek(file, 0, SEEK_SET);
  char* src = malloc(size);
  if (!src || fread(src, 1, size, file) != (size_t)size) return 2;
  fclose(file);
  unsigned long long content = ZSTD_getFrameContentSize(src, size);
  if (content == ZSTD_CONTENTSIZE_UNKNOWN || content == ZSTD_CONTENTSIZE_ERROR) return 2;
  char* dst = malloc(content);
  size_t result = ZSTD_decompress(dst, content, src, size);
  if (ZSTD_isError(result) || result != content) return 2;
  printf("%zu bytes decoded\n", result);
  return 0;
}
