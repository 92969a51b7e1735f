# Writes the C++ source that embeds FixedBlock and FirmwareImage.
#   cmake -DINPUT=<9747-byte file or empty> -DOUTPUT=<.cpp> -P EmbedFirmware.cmake
# An empty INPUT gives the placeholder: the little-endian words of xorshift32 (13, 17, 5) seeded with
# 0x464C5348, so builds without the product's file are reproducible and the bytes are not uniform.
cmake_minimum_required(VERSION 3.25)

set(fixedSize 19)
set(imageSize 9728)
math(EXPR totalSize "${fixedSize} + ${imageSize}")

function(placeholder_hex out)
  set(x 0x464C5348)
  math(EXPR words "(${totalSize} + 3) / 4")
  set(hex "")
  foreach(i RANGE 1 ${words})
    math(EXPR x "(${x} ^ (${x} << 13)) & 0xFFFFFFFF")
    math(EXPR x "${x} ^ (${x} >> 17)")
    math(EXPR x "(${x} ^ (${x} << 5)) & 0xFFFFFFFF")
    # Bytes 0..3 of the word, lowest first, as eight hex digits.
    math(EXPR swapped "((${x} & 0xFF) << 24) | ((${x} & 0xFF00) << 8) | ((${x} >> 8) & 0xFF00) | (${x} >> 24) | 0x100000000"
         OUTPUT_FORMAT HEXADECIMAL)
    string(SUBSTRING "${swapped}" 3 8 word)
    string(APPEND hex "${word}")
  endforeach()
  math(EXPR digits "${totalSize} * 2")
  string(SUBSTRING "${hex}" 0 ${digits} hex)
  string(TOLOWER "${hex}" hex)
  set(${out} "${hex}" PARENT_SCOPE)
endfunction()

function(c_bytes hex out)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  # Sixteen bytes a line; CMake's regular expressions have no {n}.
  string(REPEAT "0x..," 16 line)
  string(REGEX REPLACE "(${line})" "\\1\n    " bytes "${bytes}")
  string(STRIP "${bytes}" bytes)
  set(${out} "${bytes}" PARENT_SCOPE)
endfunction()

if(INPUT)
  file(SIZE "${INPUT}" size)
  if(NOT size EQUAL totalSize)
    message(FATAL_ERROR "Firmware file ${INPUT} is ${size} bytes; it must be ${totalSize} bytes "
                        "(${fixedSize}-byte fixed block followed by the ${imageSize}-byte image).")
  endif()
  file(READ "${INPUT}" hex HEX)
  set(placeholder false)
  set(origin "${INPUT}")
else()
  placeholder_hex(hex)
  set(placeholder true)
  set(origin "the placeholder generator")
endif()

math(EXPR fixedDigits "${fixedSize} * 2")
string(SUBSTRING "${hex}" 0 ${fixedDigits} fixedHex)
string(SUBSTRING "${hex}" ${fixedDigits} -1 imageHex)
c_bytes("${fixedHex}" fixedBytes)
c_bytes("${imageHex}" imageBytes)

file(WRITE "${OUTPUT}.tmp" "// Generated from ${origin} by firmware/EmbedFirmware.cmake; do not edit.
#include \"firmware/Firmware.h\"

const bool FirmwareIsPlaceholder = ${placeholder};

const std::array<uint8_t, ${fixedSize}> FixedBlock = {
    ${fixedBytes}
};

const std::array<uint8_t, ${imageSize}> FirmwareImage = {
    ${imageBytes}
};
")
# Unchanged content keeps its time stamp, so a re-run does not rebuild the core.
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
