-- ansicrypt: the legacy program's DES, MD5 and Base64 as SQL functions. Every function is
-- IMMUTABLE STRICT PARALLEL SAFE: its result depends on its arguments alone (the code page is 1252
-- and best fit off unless given), so that it may back an expression index and run in parallel
-- workers; NULL in any argument gives NULL. A text argument is converted from the database's
-- encoding and through the code page; a bytea argument is the text's bytes in the code page.

\echo Use "CREATE EXTENSION ansicrypt" to load this file. \quit

CREATE FUNCTION ansi_des_encrypt(data text, key text, code_page integer DEFAULT 1252, best_fit boolean DEFAULT false)
RETURNS text
AS 'MODULE_PATHNAME', 'ansicrypt_des_encrypt_tt'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION ansi_des_encrypt(data text, key bytea, code_page integer DEFAULT 1252, best_fit boolean DEFAULT false)
RETURNS text
AS 'MODULE_PATHNAME', 'ansicrypt_des_encrypt_tb'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION ansi_des_encrypt(data bytea, key text, code_page integer DEFAULT 1252, best_fit boolean DEFAULT false)
RETURNS text
AS 'MODULE_PATHNAME', 'ansicrypt_des_encrypt_bt'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION ansi_des_encrypt(data bytea, key bytea, code_page integer DEFAULT 1252, best_fit boolean DEFAULT false)
RETURNS text
AS 'MODULE_PATHNAME', 'ansicrypt_des_encrypt_bb'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION ansi_des_decrypt(hex text, key text, code_page integer DEFAULT 1252, best_fit boolean DEFAULT false)
RETURNS text
AS 'MODULE_PATHNAME', 'ansicrypt_des_decrypt_tt'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION ansi_des_decrypt(hex text, key bytea, code_page integer DEFAULT 1252, best_fit boolean DEFAULT false)
RETURNS text
AS 'MODULE_PATHNAME', 'ansicrypt_des_decrypt_tb'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION ansi_des_decrypt(hex bytea, key text, code_page integer DEFAULT 1252, best_fit boolean DEFAULT false)
RETURNS text
AS 'MODULE_PATHNAME', 'ansicrypt_des_decrypt_bt'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION ansi_des_decrypt(hex bytea, key bytea, code_page integer DEFAULT 1252, best_fit boolean DEFAULT false)
RETURNS text
AS 'MODULE_PATHNAME', 'ansicrypt_des_decrypt_bb'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION ansi_md5(data text, code_page integer DEFAULT 1252, best_fit boolean DEFAULT false)
RETURNS text
AS 'MODULE_PATHNAME', 'ansicrypt_md5_t'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION ansi_md5(data bytea, code_page integer DEFAULT 1252, best_fit boolean DEFAULT false)
RETURNS text
AS 'MODULE_PATHNAME', 'ansicrypt_md5_b'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION ansi_base64_encode(data text, code_page integer DEFAULT 1252, best_fit boolean DEFAULT false)
RETURNS text
AS 'MODULE_PATHNAME', 'ansicrypt_base64_encode_t'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION ansi_base64_encode(data bytea, code_page integer DEFAULT 1252, best_fit boolean DEFAULT false)
RETURNS text
AS 'MODULE_PATHNAME', 'ansicrypt_base64_encode_b'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION ansi_base64_decode(base64 text, code_page integer DEFAULT 1252, best_fit boolean DEFAULT false)
RETURNS text
AS 'MODULE_PATHNAME', 'ansicrypt_base64_decode_t'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION ansi_base64_decode(base64 bytea, code_page integer DEFAULT 1252, best_fit boolean DEFAULT false)
RETURNS text
AS 'MODULE_PATHNAME', 'ansicrypt_base64_decode_b'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION ansi_base64_decode_blob(base64 text)
RETURNS bytea
AS 'MODULE_PATHNAME', 'ansicrypt_base64_decode_blob_t'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION ansi_base64_decode_blob(base64 bytea)
RETURNS bytea
AS 'MODULE_PATHNAME', 'ansicrypt_base64_decode_blob_b'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION ansi_des_ecb(data bytea, key bytea, encrypt boolean, key_number integer DEFAULT 1)
RETURNS bytea
AS 'MODULE_PATHNAME', 'ansicrypt_des_ecb'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION ansi_3des_ecb(data bytea, key bytea, encrypt boolean)
RETURNS bytea
AS 'MODULE_PATHNAME', 'ansicrypt_3des_ecb'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION ansi_des_ecb(bytea, bytea, boolean, integer) IS
  'Single DES, ECB, under key 1 (bytes 0..7 of key) or key 2 (bytes 8..15); the key is zero-filled to 16 bytes, the last block of data zero-filled; 1 to 32,760 bytes';
COMMENT ON FUNCTION ansi_3des_ecb(bytea, bytea, boolean) IS
  'Two-key triple DES (EDE), ECB, under a 16-byte key (zero-filled or cut); the last block of data zero-filled; 1 to 32,760 bytes';
