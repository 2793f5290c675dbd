// ansicrypt: byte-exact DES, two-key triple DES, MD5 and Base64 of a legacy Windows program.
#pragma once

#include "ansicrypt/base64/base64.h"
#include "ansicrypt/cipher/des.h"
#include "ansicrypt/common/error.h"
#include "ansicrypt/common/hex_text.h"
#include "ansicrypt/common/simd_paths.h"
#include "ansicrypt/common/types.h"
#include "ansicrypt/common/utf8.h"
#include "ansicrypt/digest/md5.h"
#include "ansicrypt/platform/code_page.h"
#include "ansicrypt/platform/input_file.h"
#include "ansicrypt/text/base64_text.h"
#include "ansicrypt/text/des_text.h"
