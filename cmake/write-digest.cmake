# cmake -DPACKAGE=<file> -DDIGEST=<file> -P write-digest.cmake
# Writes the package's SHA-256 as 64 lower-case hex digits, nothing else: the
# setup compares it with the digest of the copy it writes out.
file(SHA256 ${PACKAGE} digest)
file(WRITE ${DIGEST} ${digest})
