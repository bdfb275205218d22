# Adds a layer's kernels to its target: PLAIN ones for every processor (the reference loops,
# the portable code), and one source per instruction set, each compiled with its own flags.
# Kernels are optimised even in debug builds, so the long equivalence tests stay quick and
# benchmarks compare like with like. The target's code learns from VORLA_X86_KERNELS and
# VORLA_NEON_KERNELS whether the x86 ones or the AArch64 one are there. Advanced SIMD is part
# of every AArch64 processor, so its kernel needs no flags of its own.
function(vorla_simd_kernels target)
  cmake_parse_arguments(kernel "" "SSE2;AVX2;AVX512;WASM_SIMD128;NEON" "PLAIN" ${ARGN})
  target_compile_definitions(${target} PRIVATE VORLA_X86_KERNELS=$<BOOL:${VORLA_X86}>
                                               VORLA_NEON_KERNELS=$<BOOL:${VORLA_AARCH64}>)
  target_sources(${target} PRIVATE ${kernel_PLAIN})
  # The browser build with wasm SIMD compiles everything with -msimd128 (CMakeLists.txt).
  if(EMSCRIPTEN AND VORLA_WEB_SIMD)
    target_sources(${target} PRIVATE ${kernel_WASM_SIMD128})
  endif()
  set(optimised ${kernel_PLAIN})
  if(VORLA_AARCH64)
    target_sources(${target} PRIVATE ${kernel_NEON})
    list(APPEND optimised ${kernel_NEON})
  endif()
  if(VORLA_X86)
    target_sources(${target} PRIVATE ${kernel_SSE2} ${kernel_AVX2} ${kernel_AVX512})
    list(APPEND optimised ${kernel_SSE2} ${kernel_AVX2} ${kernel_AVX512})
    if(MSVC)
      set_source_files_properties(${kernel_AVX2} PROPERTIES COMPILE_OPTIONS "/arch:AVX2")
      set_source_files_properties(${kernel_AVX512} PROPERTIES COMPILE_OPTIONS "/arch:AVX512")
    else()
      set_source_files_properties(${kernel_SSE2} PROPERTIES COMPILE_OPTIONS "-msse2")
      set_source_files_properties(${kernel_AVX2} PROPERTIES COMPILE_OPTIONS "-mavx2")
      set_source_files_properties(${kernel_AVX512} PROPERTIES COMPILE_OPTIONS
                                  "-mavx512f;-mavx512dq")
    endif()
    # MinGW's GCC cannot realign the stack for 32- and 64-byte spills while it writes Windows
    # unwind tables; without them it realigns, and these leaf kernels never unwind.
    if(MINGW)
      set_property(SOURCE ${kernel_AVX2} ${kernel_AVX512} APPEND PROPERTY
                   COMPILE_OPTIONS "-fno-asynchronous-unwind-tables")
    endif()
  endif()
  if(NOT MSVC AND NOT VORLA_SANITIZE)
    set_property(SOURCE ${optimised} APPEND PROPERTY COMPILE_OPTIONS "-O2")
  endif()
endfunction()
