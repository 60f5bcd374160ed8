# Installs the Debian packages a script needs, when any is missing. Runs
# apt-get as root (directly, or through sudo when there is one).

ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q >/dev/null
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
}

# What building and testing the launcher needs.
ORVEL_BUILD_PACKAGES=(
    cmake ninja-build googletest
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    wine wine64 xvfb xauth python3
)
# The release exe and its package.
ORVEL_PACKAGE_PACKAGES=(cmake ninja-build g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 python3 git)
# The release checks: a throwaway code-signing certificate, signing and
# verifying; Wine, to crash the release exe and resolve its crash line;
# reading the zips; Debian's copyright files read by Debian's own module.
ORVEL_RELEASE_CHECK_PACKAGES=(git openssl osslsigncode wine wine64 unzip python3-debian)
# The native sanitizer build, the fuzzers, the second compiler and the format check.
ORVEL_FUZZ_PACKAGES=(cmake ninja-build clang libclang-rt-14-dev)
ORVEL_CHECK_PACKAGES=(
    "${ORVEL_FUZZ_PACKAGES[@]}" googletest lld
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 clang-format
)
# The workflow check (scripts/check-workflow): Node.js and npm for the schema
# validator, installed only where no node or npm is on PATH; Python's YAML
# reader for comparing the workflow's steps with the README.
ORVEL_WORKFLOW_PACKAGES=(nodejs npm)
ORVEL_WORKFLOW_YAML_PACKAGES=(python3 python3-yaml)
# The release check's CycloneDX validator: Node.js and npm, installed only where
# no node or npm is on PATH. Its lock needs Node.js 20.18 or later (Debian 12's
# is 18, which npm ci refuses: scripts/sbom-check/.npmrc).
ORVEL_SBOM_CHECK_PACKAGES=(nodejs npm)
