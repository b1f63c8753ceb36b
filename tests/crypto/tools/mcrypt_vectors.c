/* Prints Rijndael ECB reference vectors computed by libmcrypt, an
 * implementation independent of this project. Not part of the build; the
 * product does not use libmcrypt. Build and run by hand:
 *
 *   cc -o /tmp/mcrypt_vectors tests/crypto/tools/mcrypt_vectors.c -lmcrypt
 *   /tmp/mcrypt_vectors
 *
 * For each block size (16, 24, 32 bytes) and key size (16, 24, 32 bytes) it
 * prints the key sizes libmcrypt supports, then key, plaintext and
 * ciphertext of three fixed cases:
 *   counting: key bytes 00 01 02 ..., plaintext bytes 00 11 22 ... (i * 0x11)
 *   zero:     all-zero key, all-zero plaintext
 *   mixed:    key and plaintext from a fixed byte pattern (i * 37 + 101)
 * and, last, two envelope cipher texts (Rijndael-256, 32-byte key, ECB over
 * a 4-byte little-endian length, the UTF-16LE payload and zero fill) in
 * upper-case hexadecimal.
 */
#include <mcrypt.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void print_hex(const char *label, const unsigned char *p, int n) {
  printf("  %-10s", label);
  for (int i = 0; i < n; ++i) printf("%02x", p[i]);
  printf("\n");
}

static void one_case(const char *algo, const char *name, int key_len,
                     const unsigned char *key, const unsigned char *pt) {
  MCRYPT td = mcrypt_module_open((char *)algo, NULL, (char *)"ecb", NULL);
  if (td == MCRYPT_FAILED) {
    fprintf(stderr, "cannot open %s\n", algo);
    exit(1);
  }
  int block = mcrypt_enc_get_block_size(td);
  unsigned char buf[32];
  unsigned char k[32];
  memcpy(k, key, key_len);
  memcpy(buf, pt, block);
  int rc = mcrypt_generic_init(td, k, key_len, NULL);
  if (rc < 0) {
    mcrypt_perror(rc);
    exit(1);
  }
  mcrypt_generic(td, buf, block);
  printf("%s block=%d key=%d case=%s\n", algo, block, key_len, name);
  print_hex("key", key, key_len);
  print_hex("plain", pt, block);
  print_hex("cipher", buf, block);
  /* Decrypting must give the plaintext back. */
  mcrypt_generic_deinit(td);
  mcrypt_generic_init(td, k, key_len, NULL);
  mdecrypt_generic(td, buf, block);
  if (memcmp(buf, pt, block) != 0) {
    fprintf(stderr, "round trip failed\n");
    exit(1);
  }
  mcrypt_generic_deinit(td);
  mcrypt_module_close(td);
}

/* Appends the UTF-16LE form of a UTF-8 text of code points below U+10000. */
static int utf16le(const char *utf8, unsigned char *out) {
  int n = 0;
  const unsigned char *p = (const unsigned char *)utf8;
  while (*p) {
    unsigned cp;
    if (*p < 0x80) {
      cp = *p++;
    } else if ((*p & 0xE0) == 0xC0) {
      cp = ((p[0] & 0x1Fu) << 6) | (p[1] & 0x3Fu);
      p += 2;
    } else {
      cp = ((p[0] & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
      p += 3;
    }
    out[n++] = (unsigned char)(cp & 0xFF);
    out[n++] = (unsigned char)(cp >> 8);
  }
  return n;
}

static void envelope(const char *text, const char *key_text) {
  unsigned char key[32] = {0};
  unsigned char key_utf16[256];
  int key_len = utf16le(key_text, key_utf16);
  memcpy(key, key_utf16, key_len < 32 ? key_len : 32);
  unsigned char data[256] = {0};
  int len = utf16le(text, data + 4);
  data[0] = (unsigned char)len;
  int total = len + 4;
  if (total % 32) total += 32 - total % 32;
  MCRYPT td = mcrypt_module_open((char *)"rijndael-256", NULL, (char *)"ecb", NULL);
  mcrypt_generic_init(td, key, 32, NULL);
  mcrypt_generic(td, data, total);
  mcrypt_generic_deinit(td);
  mcrypt_module_close(td);
  printf("envelope text=\"%s\" key=\"%s\"\n  ", text, key_text);
  for (int i = 0; i < total; ++i) printf("%02X", data[i]);
  printf("\n");
}

int main(void) {
  const char *algos[] = {"rijndael-128", "rijndael-192", "rijndael-256"};
  const int key_lens[] = {16, 24, 32};
  unsigned char counting_key[32], counting_pt[32], zero[32], mixed_key[32], mixed_pt[32];
  for (int i = 0; i < 32; ++i) {
    counting_key[i] = (unsigned char)i;
    counting_pt[i] = (unsigned char)(i * 0x11);
    zero[i] = 0;
    mixed_key[i] = (unsigned char)(i * 37 + 101);
    mixed_pt[i] = (unsigned char)((i + 32) * 37 + 101);
  }
  for (int a = 0; a < 3; ++a) {
    int n = 0;
    int *sizes = mcrypt_module_get_algo_supported_key_sizes((char *)algos[a], NULL, &n);
    printf("%s supported key sizes:", algos[a]);
    for (int i = 0; i < n; ++i) printf(" %d", sizes[i]);
    printf("\n");
    mcrypt_free(sizes);
    for (int k = 0; k < 3; ++k) {
      one_case(algos[a], "counting", key_lens[k], counting_key, counting_pt);
      one_case(algos[a], "zero", key_lens[k], zero, zero);
      one_case(algos[a], "mixed", key_lens[k], mixed_key, mixed_pt);
    }
  }
  envelope("P\xc3\xa4ssw\xc3\xb6rd \xe2\x82\xac", "comvorlix-key");
  envelope("ABCDEFGHIJKLMNO", "0123456789abcdefIGNORED");
  return 0;
}
