#!/usr/bin/env bash
# Builds the libraries of Kistora's Windows (x86_64) build with Debian's MinGW-w64 toolchain, from
# Debian 12's own source packages, as static libraries with pkg-config files, into a cache folder
# outside the checkout:
#
#   ${XDG_CACHE_HOME:-$HOME/.cache}/kistora/windows-deps-<key>/prefix
#
# The key is made from the pinned source versions, this script, the toolchain file and the versions
# of the compiler, zlib and GoogleTest packages, so changing any of them builds a new prefix; an
# existing complete prefix is reused at once. docs/windows.md says more.
#
#   bash scripts/windows-deps.sh                 # build if needed; the last line printed is the prefix
#   bash scripts/windows-deps.sh --print-prefix  # print the prefix only (fails if it is not built)
#   bash scripts/windows-deps.sh --check         # build if needed, then run the check under wine64
#
# Messages go to stderr; only the prefix goes to stdout.
set -euo pipefail

# The source versions built. They are those the machine's Debian mirror offers in bookworm and
# bookworm-updates (bookworm-security is not used: its source entries answer 404 for some
# packages). They are the upstream releases of the Linux build's libraries; where the Linux build
# has a security update (libarchive 3.6.2-1+deb12u5), the bookworm point-release revision of the
# same upstream release is built instead.
PINS=(
  libogg=1.3.5-3
  libvorbis=1.3.7-1
  libpng1.6=1.6.39-2+deb12u5
  freetype=2.12.1+dfsg-5+deb12u4
  harfbuzz=6.0.0+dfsg-3
  libsdl2=2.26.5+dfsg-1
  libsdl2-mixer=2.6.2+dfsg-2
  libsdl2-ttf=2.20.1+dfsg-2
  libarchive=3.6.2-1+deb12u4
)
# The build machine's packages the build needs (zlib and GoogleTest come from these too).
BUILD_PACKAGES=(mingw-w64 libz-mingw-w64-dev libgtest-dev dpkg-dev cmake ninja-build pkg-config
  make xz-utils)
# What --check needs besides: wine64 runs the check, python3 and oggenc make its files, and a font.
CHECK_PACKAGES=(wine64 python3 vorbis-tools fonts-liberation2)

TRIPLET=x86_64-w64-mingw32
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SCRIPT="$ROOT/scripts/windows-deps.sh"
TOOLCHAIN="$ROOT/cmake/mingw-w64-x86_64.cmake"
CACHE_ROOT="${XDG_CACHE_HOME:-$HOME/.cache}/kistora"
JOBS=$(nproc 2>/dev/null || echo 2)

say() { printf 'windows-deps: %s\n' "$*" >&2; }
die() {
  printf 'windows-deps: error: %s\n' "$*" >&2
  exit 1
}

mode=build
case "${1:-}" in
"") ;;
--print-prefix) mode=print ;;
--check) mode=check ;;
-h | --help)
  sed -n '2,16s/^# \{0,1\}//p' "$SCRIPT"
  exit 0
  ;;
*) die "unknown option '$1' (try --help)" ;;
esac

install_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' ||
      missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  say "installing ${missing[*]}"
  "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}" >&2 ||
    die "could not install ${missing[*]} with apt-get"
}

package_version() { dpkg-query -W -f='${Version}' "$1"; }

cache_key() {
  {
    printf '%s\n' "${PINS[@]}"
    printf 'gcc %s\nzlib %s\ngtest %s\n' "$(package_version gcc-mingw-w64-x86-64-posix)" \
      "$(package_version libz-mingw-w64-dev)" "$(package_version libgtest-dev)"
    cat "$SCRIPT" "$TOOLCHAIN"
  } | sha256sum | cut -c1-16
}

# The machine's Debian mirror and its keyring, from /etc/apt (deb822 first, then one-line lists).
mirror_stanza() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk '
      function flush() {
        if (types ~ /(^| )deb( |$)/ && (" " suites " ") ~ / bookworm / && uris != "") {
          print uris "\t" signed; found = 1; exit
        }
        types = suites = uris = signed = ""
      }
      /^[ \t]*$/ { flush(); next }
      /^[ \t]*#/ { next }
      tolower($1) == "types:" { $1 = ""; types = substr($0, 2) }
      tolower($1) == "suites:" { $1 = ""; suites = substr($0, 2) }
      tolower($1) == "uris:" { uris = $2 }
      tolower($1) == "signed-by:" { signed = $2 }
      END { if (!found) flush() }' "$f" | head -n1 | grep . && return 0
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    awk '$1 == "deb" && $0 ~ / bookworm / {
      for (i = 2; i <= NF; i++) if ($i !~ /^\[/) { print $i "\t"; exit } }' "$f" |
      head -n1 | grep . && return 0
  done
  return 1
}

# Fetches the pinned source packages into $SRC through a private apt state in $APT.
fetch_sources() {
  local have=1 pin
  for pin in "${PINS[@]}"; do
    [ -f "$SRC/${pin%%=*}_$(strip_epoch "${pin#*=}").dsc" ] || have=0
  done
  [ $have -eq 1 ] && return 0
  local line uri keyring
  line=$(mirror_stanza) || die "no bookworm 'deb' entry in /etc/apt to take the mirror from"
  uri=${line%%$'\t'*}
  keyring=${line#*$'\t'}
  [ -n "$keyring" ] || keyring=/usr/share/keyrings/debian-archive-keyring.gpg
  mkdir -p "$APT/parts" "$APT/lists/partial" "$APT/cache/archives/partial" "$SRC"
  : >"$APT/sources.list"
  cat >"$APT/parts/kistora-windows-deps.sources" <<EOF
Types: deb-src
URIs: $uri
Suites: bookworm bookworm-updates
Components: main
Signed-By: $keyring
EOF
  local apt_opts=(-o "Dir::Etc::SourceList=$APT/sources.list" -o "Dir::Etc::SourceParts=$APT/parts"
    -o "Dir::State::Lists=$APT/lists" -o "Dir::Cache=$APT/cache")
  # apt's download sandbox user cannot enter a private home folder; root downloads instead.
  [ "$(id -u)" -eq 0 ] && apt_opts+=(-o APT::Sandbox::User=root)
  say "reading source indexes from $uri (bookworm, bookworm-updates)"
  apt-get "${apt_opts[@]}" update >"$APT/update.log" 2>&1 ||
    die "apt-get update of the private source lists failed (see $APT/update.log)"
  say "fetching ${PINS[*]}"
  if ! (cd "$SRC" && apt-get "${apt_opts[@]}" source --download-only "${PINS[@]}") \
    >"$APT/source.log" 2>&1; then
    grep -E '^E:' "$APT/source.log" >&2 || true
    for pin in "${PINS[@]}"; do
      say "offered for ${pin%%=*}: $(apt-cache "${apt_opts[@]}" showsrc "${pin%%=*}" 2>/dev/null |
        sed -n 's/^Version: //p' | tr '\n' ' ')"
    done
    die "could not fetch the pinned sources (see $APT/source.log); update PINS in $SCRIPT"
  fi
}

strip_epoch() { printf '%s' "${1#*:}"; }

# Unpacks a pinned package with its Debian patches applied; prints the source folder.
unpack() {
  local name=$1 version dir
  version=$(strip_epoch "$(pin_version "$name")")
  dir="$WORK/src/$name"
  rm -rf "$dir"
  mkdir -p "$WORK/src"
  dpkg-source -x "$SRC/${name}_$version.dsc" "$dir" >"$WORK/logs/$name.unpack.log" 2>&1 ||
    die "dpkg-source could not unpack $name $version (see $WORK/logs/$name.unpack.log)"
  printf '%s' "$dir"
}

pin_version() {
  local pin
  for pin in "${PINS[@]}"; do
    [ "${pin%%=*}" = "$1" ] && printf '%s' "${pin#*=}" && return 0
  done
  die "no pin for $1"
}

# Configures, builds and installs one CMake project into the prefix.
cmake_build() {
  local name=$1 source=$2
  shift 2
  local build="$WORK/build/$name" log="$WORK/logs/$name.log"
  local start
  start=$(date +%s)
  mkdir -p "$build"
  if ! {
    cmake -S "$source" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
      -DKISTORA_WINDOWS_DEPS="$PREFIX" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_INSTALL_PREFIX="$PREFIX" -DCMAKE_INSTALL_LIBDIR=lib \
      -DBUILD_SHARED_LIBS=OFF -DCMAKE_POSITION_INDEPENDENT_CODE=OFF "$@" &&
      cmake --build "$build" -j "$JOBS" && cmake --install "$build"
  } >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    die "building $name failed (full log: $log)"
  fi
  say "built $name in $(($(date +%s) - start)) s"
}

# A pkg-config file for a static library whose CMake build writes one only when shared.
write_sdl_pc() {
  local template=$1 out=$2 version=$3 requires=$4
  # shellcheck disable=SC2016 # ${prefix} and the like are pkg-config's, not the shell's
  sed -e "s|@prefix@|$PREFIX|" -e 's|@exec_prefix@|${prefix}|' \
    -e 's|@libdir@|${exec_prefix}/lib|' -e 's|@includedir@|${prefix}/include|' \
    -e "s|@VERSION@|$version|" -e 's|@SDL_VERSION@|2.0.9|' \
    -e "s|@PC_REQUIRES@|$requires|" -e 's|@PC_LIBS@||' "$template" >"$out"
}

build_all() {
  local pc="$PREFIX/lib/pkgconfig" sysroot="/usr/$TRIPLET" dir
  mkdir -p "$pc" "$PREFIX/include" "$WORK/logs"

  # zlib: Debian's MinGW-w64 build, copied in so that only its static library is ever found.
  say "copying zlib $(package_version libz-mingw-w64-dev)"
  cp "$sysroot/lib/libz.a" "$PREFIX/lib/"
  cp "$sysroot/include/zlib.h" "$sysroot/include/zconf.h" "$PREFIX/include/"
  # shellcheck disable=SC2016 # pkg-config's variables
  sed -e "s|^prefix=.*|prefix=$PREFIX|" -e 's|^exec_prefix=.*|exec_prefix=${prefix}|' \
    -e 's|^libdir=.*|libdir=${prefix}/lib|' -e 's|^sharedlibdir=.*|sharedlibdir=${libdir}|' \
    -e 's|^includedir=.*|includedir=${prefix}/include|' "$sysroot/lib/pkgconfig/zlib.pc" \
    >"$pc/zlib.pc"

  dir=$(unpack libogg)
  cmake_build libogg "$dir" -DINSTALL_DOCS=OFF
  dir=$(unpack libvorbis)
  cmake_build libvorbis "$dir"
  dir=$(unpack libpng1.6)
  cmake_build libpng "$dir" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_EXECUTABLES=OFF \
    -DPNG_TESTS=OFF -Dld-version-script=OFF
  # FreeType as Debian builds it (zlib and PNG), without HarfBuzz, bzip2 and Brotli.
  dir=$(unpack freetype)
  cmake_build freetype "$dir" -DFT_REQUIRE_ZLIB=ON -DFT_REQUIRE_PNG=ON -DFT_DISABLE_BZIP2=ON \
    -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
  # HarfBuzz, which Debian's SDL_ttf shapes with (kerning, ligatures): the same text, the
  # same pixels as on Linux. On FreeType only: no GLib, ICU, Graphite or subsetter.
  dir=$(unpack harfbuzz)
  cmake_build harfbuzz "$dir" -DHB_HAVE_FREETYPE=ON -DHB_HAVE_GLIB=OFF -DHB_HAVE_GOBJECT=OFF \
    -DHB_HAVE_ICU=OFF -DHB_HAVE_GRAPHITE2=OFF -DHB_HAVE_INTROSPECTION=OFF -DHB_BUILD_SUBSET=OFF \
    -DHB_BUILD_UTILS=OFF -DHB_BUILD_TESTS=OFF
  if [ ! -f "$pc/harfbuzz.pc" ]; then
    cat >"$pc/harfbuzz.pc" <<PC
prefix=$PREFIX
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: harfbuzz
Description: HarfBuzz text shaping library
Version: 6.0.0
Requires.private: freetype2
Libs: -L\${libdir} -lharfbuzz
Libs.private: -lusp10 -lgdi32 -lrpcrt4
Cflags: -I\${includedir}/harfbuzz
PC
  fi
  dir=$(unpack libsdl2)
  cmake_build libsdl2 "$dir" -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL_TESTS=OFF
  # SDL_mixer: Ogg Vorbis through libvorbisfile (linked, not loaded at run time) and WAV only.
  dir=$(unpack libsdl2-mixer)
  cmake_build libsdl2-mixer "$dir" -DSDL2MIXER_VENDORED=OFF -DSDL2MIXER_DEPS_SHARED=OFF \
    -DSDL2MIXER_SAMPLES=OFF -DSDL2MIXER_VORBIS=VORBISFILE -DSDL2MIXER_VORBIS_VORBISFILE_SHARED=OFF \
    -DSDL2MIXER_WAVE=ON -DSDL2MIXER_CMD=OFF -DSDL2MIXER_FLAC=OFF -DSDL2MIXER_MOD=OFF \
    -DSDL2MIXER_MP3=OFF -DSDL2MIXER_MIDI=OFF -DSDL2MIXER_OPUS=OFF
  write_sdl_pc "$dir/SDL2_mixer.pc.in" "$pc/SDL2_mixer.pc" 2.6.2 vorbisfile
  dir=$(unpack libsdl2-ttf)
  cmake_build libsdl2-ttf "$dir" -DSDL2TTF_VENDORED=OFF -DSDL2TTF_HARFBUZZ=ON \
    -DSDL2TTF_SAMPLES=OFF
  write_sdl_pc "$dir/SDL2_ttf.pc.in" "$pc/SDL2_ttf.pc" 2.20.1 "freetype2 harfbuzz"
  # libarchive: the formats need zlib only (zip with deflate); no other compressor, no crypto,
  # no iconv, no XML, no regex, and none of the command-line tools.
  dir=$(unpack libarchive)
  cmake_build libarchive "$dir" -DENABLE_ZLIB=ON -DENABLE_BZip2=OFF -DENABLE_LZMA=OFF \
    -DENABLE_ZSTD=OFF -DENABLE_LZ4=OFF -DENABLE_LZO=OFF -DENABLE_LIBB2=OFF -DENABLE_OPENSSL=OFF \
    -DENABLE_MBEDTLS=OFF -DENABLE_NETTLE=OFF -DENABLE_CNG=OFF -DENABLE_LIBXML2=OFF \
    -DENABLE_EXPAT=OFF -DENABLE_PCREPOSIX=OFF -DENABLE_LIBGCC=OFF -DPOSIX_REGEX_LIB=NONE \
    -DENABLE_ICONV=OFF -DENABLE_ACL=OFF -DENABLE_XATTR=OFF -DENABLE_TAR=OFF -DENABLE_CPIO=OFF \
    -DENABLE_CAT=OFF -DENABLE_TEST=OFF -DENABLE_WERROR=OFF
  # It builds a DLL and, beside it, libarchive_static.a; keep the static one under the usual name.
  rm -f "$PREFIX/lib/libarchive.dll.a" "$PREFIX/bin/libarchive.dll"
  mv "$PREFIX/lib/libarchive_static.a" "$PREFIX/lib/libarchive.a"
  # GoogleTest from the build machine's libgtest-dev sources, for the Windows tests.
  cmake_build googletest /usr/src/googletest -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON

  rm -rf "$PREFIX/share/doc" "$PREFIX/share/man"
  if find "$PREFIX" -name '*.dll' -o -name '*.dll.a' | grep -q .; then
    die "a shared library was built: $(find "$PREFIX" -name '*.dll' -o -name '*.dll.a')"
  fi
}

# The check program: opens a zip with libarchive and reads its files from memory; decodes the PNG
# with libpng and the Ogg with libvorbisfile; starts SDL's offscreen video and dummy audio, loads
# the Ogg and the WAV through SDL_mixer and renders text with SDL_ttf on FreeType.
write_check_source() {
  cat >"$1" <<'EOF'
#include <SDL.h>
#include <SDL_mixer.h>
#include <SDL_ttf.h>
#include <archive.h>
#include <archive_entry.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>
#include <zlib.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failures;
#define CHECK(c, ...) do { if (c) { printf("ok   "); } else { printf("FAIL "); failures++; } \
  printf(__VA_ARGS__); printf("\n"); } while (0)

struct file { char name[64]; unsigned char *data; size_t size; };
static struct file files[8];
static int nfiles;
static struct file *find(const char *name) {
  for (int i = 0; i < nfiles; i++) if (!strcmp(files[i].name, name)) return &files[i];
  fprintf(stderr, "no %s in the zip\n", name); exit(2);
}

struct mem { const unsigned char *p; size_t size, at; };
static size_t mread(void *dst, size_t s, size_t n, void *src) {
  struct mem *m = src; size_t left = m->size - m->at, want = s * n;
  if (want > left) want = left;
  memcpy(dst, m->p + m->at, want); m->at += want; return s ? want / s : 0;
}

int main(int argc, char **argv) {
  if (argc != 7) { fprintf(stderr, "usage: check ZIP TEXT PNG-CRC FRAMES RATE HZ\n"); return 2; }
  unsigned long png_crc = strtoul(argv[3], 0, 10);
  long frames = atol(argv[4]), rate = atol(argv[5]), hz = atol(argv[6]);

  struct archive *a = archive_read_new();
  archive_read_support_format_zip(a);
  archive_read_support_filter_none(a);
  CHECK(archive_read_open_filename(a, argv[1], 16384) == ARCHIVE_OK, "%s opens the zip",
        archive_version_string());
  struct archive_entry *e;
  while (nfiles < 8 && archive_read_next_header(a, &e) == ARCHIVE_OK) {
    struct file *f = &files[nfiles++];
    snprintf(f->name, sizeof f->name, "%s", archive_entry_pathname(e));
    f->size = (size_t)archive_entry_size(e);
    f->data = malloc(f->size + 1);
    CHECK(archive_read_data(a, f->data, f->size) == (la_ssize_t)f->size, "read %s (%zu bytes)",
          f->name, f->size);
  }
  archive_read_free(a);
  CHECK(nfiles == 5, "the zip holds 5 files (%d)", nfiles);
  struct file *text = find("hello.txt");
  CHECK(text->size == strlen(argv[2]) && !memcmp(text->data, argv[2], text->size),
        "hello.txt inflates to what was stored");

  struct file *pf = find("picture.png");
  png_image img; memset(&img, 0, sizeof img); img.version = PNG_IMAGE_VERSION;
  int ok = png_image_begin_read_from_memory(&img, pf->data, pf->size);
  img.format = PNG_FORMAT_RGBA;
  unsigned char *pixels = malloc(PNG_IMAGE_SIZE(img));
  ok = ok && png_image_finish_read(&img, 0, pixels, 0, 0);
  CHECK(ok && img.width == 37 && img.height == 23, "libpng %s decodes a 37 x 23 picture",
        png_get_libpng_ver(0));
  CHECK(ok && crc32(0, pixels, PNG_IMAGE_SIZE(img)) == png_crc, "its RGBA pixels are as written");

  struct file *of = find("tone.ogg");
  struct mem m = {of->data, of->size, 0};
  ov_callbacks cb = {mread, 0, 0, 0};
  OggVorbis_File vf;
  CHECK(ov_open_callbacks(&m, &vf, 0, 0, cb) == 0, "libvorbisfile opens the Ogg");
  vorbis_info *vi = ov_info(&vf, -1);
  CHECK(vi->rate == rate && vi->channels == 1, "mono at %ld Hz (%ld Hz, %d channels)", rate,
        vi->rate, vi->channels);
  long decoded = 0, crossings = 0; short last = 0, buf[4096]; int section;
  for (;;) {
    long got = ov_read(&vf, (char *)buf, sizeof buf, 0, 2, 1, &section);
    if (got <= 0) break;
    for (long i = 0; i < got / 2; i++) {
      if ((last < 0) != (buf[i] < 0)) crossings++;
      last = buf[i];
    }
    decoded += got / 2;
  }
  ov_clear(&vf);
  CHECK(decoded == frames, "it decodes to %ld samples (%ld)", frames, decoded);
  long expected = 2 * hz * frames / rate;
  CHECK(labs(crossings - expected) <= 4, "a %ld Hz tone: %ld zero crossings (about %ld)", hz,
        crossings, expected);

  SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
  SDL_SetHint(SDL_HINT_AUDIODRIVER, "dummy");
  CHECK(SDL_Init(SDL_INIT_VIDEO | SDL_INIT_AUDIO) == 0, "SDL %d.%d.%d starts (%s)", SDL_MAJOR_VERSION,
        SDL_MINOR_VERSION, SDL_PATCHLEVEL, SDL_GetError());
  const char *driver = SDL_GetCurrentVideoDriver();
  CHECK(driver && !strcmp(driver, "offscreen"), "the video driver is offscreen (%s)", driver);
  SDL_Window *w = SDL_CreateWindow("check", 0, 0, 64, 48, 0);
  SDL_Surface *ws = w ? SDL_GetWindowSurface(w) : 0;
  CHECK(ws && ws->w == 64 && ws->h == 48, "a 64 x 48 window has its surface");

  CHECK((Mix_Init(MIX_INIT_OGG) & MIX_INIT_OGG) != 0, "SDL_mixer takes Ogg Vorbis");
  CHECK(Mix_OpenAudio((int)rate, AUDIO_S16SYS, 1, 1024) == 0, "the dummy audio device opens");
  int qrate, qchannels; Uint16 qformat;
  Mix_QuerySpec(&qrate, &qformat, &qchannels);
  Mix_Music *mus = Mix_LoadMUS_RW(SDL_RWFromConstMem(of->data, (int)of->size), 1);
  CHECK(mus && Mix_GetMusicType(mus) == MUS_OGG, "the Ogg loads as Ogg music");
  struct file *wf = find("tone.wav");
  Mix_Chunk *chunk = Mix_LoadWAV_RW(SDL_RWFromConstMem(wf->data, (int)wf->size), 1);
  long want = frames * 2 * qchannels * qrate / rate;
  CHECK(chunk && labs((long)chunk->alen - want) <= 8 * qchannels,
        "the WAV loads as %u bytes (about %ld at %d Hz)", chunk ? chunk->alen : 0, want, qrate);

  FT_Library ft; FT_Int ma = 0, mi = 0, pa = 0;
  CHECK(FT_Init_FreeType(&ft) == 0, "FreeType starts");
  FT_Library_Version(ft, &ma, &mi, &pa);
  CHECK(ma == 2 && mi == 12 && pa == 1, "FreeType is 2.12.1 (%d.%d.%d)", ma, mi, pa);
  FT_Done_FreeType(ft);
  struct file *ff = find("font.ttf");
  CHECK(TTF_Init() == 0, "SDL_ttf starts");
  TTF_Font *font = TTF_OpenFontRW(SDL_RWFromConstMem(ff->data, (int)ff->size), 1, 24);
  int tw = 0, th = 0;
  SDL_Surface *ts = font ? TTF_RenderUTF8_Blended(font, "Kistora", (SDL_Color){255, 255, 255, 255}) : 0;
  if (font) TTF_SizeUTF8(font, "Kistora", &tw, &th);
  long lit = 0;
  if (ts) {
    SDL_LockSurface(ts);
    for (int y = 0; y < ts->h; y++)
      for (int x = 0; x < ts->w; x++)
        if (((Uint32 *)((Uint8 *)ts->pixels + y * ts->pitch))[x] >> 24) lit++;
  }
  CHECK(ts && ts->w == tw && ts->h == th && lit > 100, "\"Kistora\" renders %d x %d, %ld pixels lit",
        tw, th, lit);

  printf(failures ? "%d checks failed\n" : "all checks passed\n", failures);
  return failures != 0;
}
EOF
}

# Makes the check's files with the build machine's own tools.
write_check_data() {
  local dir=$1 font
  font=$(ls /usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf 2>/dev/null) ||
    die "no Liberation Sans (fonts-liberation2) for the check"
  python3 - "$dir" "$font" <<'EOF' || die "python3 could not write the check's files"
import math, struct, sys, wave, zlib
d, font = sys.argv[1], sys.argv[2]
w, h = 37, 23
rgba = bytes(v for y in range(h) for x in range(w)
             for v in ((x * 7) & 255, (y * 11) & 255, (x * y) & 255, 255 - x - y))
raw = b''.join(b'\0' + rgba[y * w * 4:(y + 1) * w * 4] for y in range(h))
def chunk(t, b):
    return struct.pack('>I', len(b)) + t + b + struct.pack('>I', zlib.crc32(t + b))
png = (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 6, 0, 0, 0)) +
       chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b''))
open(d + '/picture.png', 'wb').write(png)
rate, frames, hz = 22050, 33075, 441
with wave.open(d + '/tone.wav', 'wb') as out:
    out.setnchannels(1); out.setsampwidth(2); out.setframerate(rate)
    out.writeframes(b''.join(struct.pack('<h', int(12000 * math.sin(2 * math.pi * hz * (i + 0.5) / rate)))
                             for i in range(frames)))
open(d + '/hello.txt', 'w').write('Kistora packs its crates. ' * 20)
open(d + '/expected', 'w').write('%d %d %d %d\n' % (zlib.crc32(rgba), frames, rate, hz))
EOF
  oggenc -Q -q 4 -o "$dir/tone.ogg" "$dir/tone.wav" || die "oggenc could not encode the tone"
  cp "$font" "$dir/font.ttf"
  python3 - "$dir" <<'EOF' || die "python3 could not write the zip"
import sys, zipfile
d = sys.argv[1]
with zipfile.ZipFile(d + '/check.zip', 'w', zipfile.ZIP_DEFLATED) as z:
    for n in ('hello.txt', 'picture.png', 'tone.ogg', 'tone.wav', 'font.ttf'):
        z.write(d + '/' + n, n)
EOF
}

# Cross-compiles the check, links it statically through pkg-config; with "run", runs it in wine64.
check() {
  local run=$1 dir
  dir=$(mktemp -d "${TMPDIR:-/tmp}/kistora-windows-check.XXXXXX")
  say "checking in $dir (kept if the check fails)"
  write_check_source "$dir/check.c"
  local mods=(sdl2 SDL2_mixer SDL2_ttf freetype2 libpng vorbisfile libarchive zlib) flags
  flags=$(PKG_CONFIG_LIBDIR="$PREFIX/lib/pkgconfig" PKG_CONFIG_PATH='' pkg-config --static \
    --cflags --libs "${mods[@]}") || die "pkg-config cannot resolve ${mods[*]} in $PREFIX"
  # shellcheck disable=SC2086 # the flags are words
  "$TRIPLET-gcc-posix" -std=c11 -O1 -Wall -Werror -o "$dir/check.exe" "$dir/check.c" $flags \
    -static -mconsole >"$dir/link.log" 2>&1 || {
    cat "$dir/link.log" >&2
    die "the check program does not build against $PREFIX"
  }
  local dlls
  dlls=$("$TRIPLET-objdump" -p "$dir/check.exe" | sed -n 's/^\s*DLL Name: //p' | sort -u | tr '\n' ' ')
  say "check.exe ($(du -k "$dir/check.exe" | cut -f1) KiB) imports only: $dlls"
  if printf '%s' "$dlls" | grep -qiE 'sdl|png|ogg|vorbis|freetype|archive|zlib|libgcc|stdc|pthread'; then
    die "check.exe still needs a library DLL: $dlls"
  fi
  if [ "$run" != run ]; then
    rm -rf "$dir"
    return 0
  fi

  write_check_data "$dir"
  local wine=/usr/lib/wine/wine64
  [ -x "$wine" ] || wine=$(command -v wine64) || die "wine64 is not installed"
  export WINEPREFIX="$dir/wine" WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES='mscoree,mshtml='
  say "starting a fresh wine prefix"
  "$wine" wineboot -i >"$dir/wineboot.log" 2>&1 || {
    cat "$dir/wineboot.log" >&2
    die "wineboot -i failed"
  }
  say "running check.exe under wine64"
  local out status=0
  # shellcheck disable=SC2046 # the expected values are four numbers
  out=$(cd "$dir" && "$wine" ./check.exe check.zip "$(cat hello.txt)" $(cat expected) 2>&1) ||
    status=$?
  WINEPREFIX="$WINEPREFIX" /usr/lib/wine/wineserver -k 2>/dev/null || true
  printf '%s\n' "$out" | tr -d '\r' | sed 's/^/  /' >&2
  [ $status -eq 0 ] || die "the check failed under wine64 (exit status $status)"
  rm -rf "$dir"
}

install_packages "${BUILD_PACKAGES[@]}"
KEY=$(cache_key)
DEST="$CACHE_ROOT/windows-deps-$KEY"
PREFIX="$DEST/prefix"
STAMP="$DEST/complete"
APT="$CACHE_ROOT/windows-deps-apt"
SRC="$CACHE_ROOT/windows-deps-sources"
WORK="$DEST/work"

if [ "$mode" = print ]; then
  [ -f "$STAMP" ] || die "the prefix for this recipe is not built yet: run bash scripts/windows-deps.sh"
  printf '%s\n' "$PREFIX"
  exit 0
fi

if [ ! -f "$STAMP" ]; then
  start=$(date +%s)
  rm -rf "$DEST"
  mkdir -p "$DEST"
  fetch_sources
  build_all
  check link
  rm -rf "$WORK"
  printf 'built %s from:\n' "$(date -u +%FT%TZ)" >"$STAMP.tmp"
  printf '  %s\n' "${PINS[@]}" "libz-mingw-w64-dev=$(package_version libz-mingw-w64-dev)" \
    "googletest (libgtest-dev)=$(package_version libgtest-dev)" >>"$STAMP.tmp"
  mv "$STAMP.tmp" "$STAMP"
  say "built in $(($(date +%s) - start)) s; prefix $(du -sh "$PREFIX" | cut -f1)"
else
  say "reusing $DEST"
fi

if [ "$mode" = check ]; then
  install_packages "${CHECK_PACKAGES[@]}"
  check run
fi
printf '%s\n' "$PREFIX"
