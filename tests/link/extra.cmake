# Stand-in GP-IB and VISA libraries for the link tests. They are shared libraries that the tests
# load by path at run time, exactly as the program loads a real driver; they live only here.
set(_fixtures ${CMAKE_CURRENT_SOURCE_DIR}/link/fixtures)
# Each stand-in carries its own simulated strainmeter (StandInSimulator.h), compiled into it
# because the program's static libraries are not built for shared objects.
set(_standin_sim ${CMAKE_SOURCE_DIR}/src/sim/SimBus.cpp ${CMAKE_SOURCE_DIR}/src/sim/SimInstrument.cpp
    ${CMAKE_SOURCE_DIR}/src/sim/SimOptions.cpp ${CMAKE_SOURCE_DIR}/src/core/support/Numbers.cpp)
foreach(_variant thread global user none)
  set(_lib kmr_fake_gpib_${_variant})
  add_library(${_lib} SHARED ${_fixtures}/FakeGpibLibrary.cpp ${_standin_sim})
  target_include_directories(${_lib} PRIVATE ${CMAKE_SOURCE_DIR}/src)
  string(TOUPPER ${_variant} _upper)
  if(NOT _variant STREQUAL "none")
    target_compile_definitions(${_lib} PRIVATE KMR_FAKE_${_upper}_STATUS)
  endif()
  add_dependencies(${target} ${_lib})
  target_compile_definitions(${target} PRIVATE
    KMR_FAKE_GPIB_${_upper}="$<TARGET_FILE:${_lib}>")
endforeach()
add_library(kmr_fake_visa SHARED ${_fixtures}/FakeVisaLibrary.cpp ${_standin_sim})
target_include_directories(kmr_fake_visa PRIVATE ${CMAKE_SOURCE_DIR}/src)
add_dependencies(${target} kmr_fake_visa)
target_compile_definitions(${target} PRIVATE
  KMR_FAKE_VISA="$<TARGET_FILE:kmr_fake_visa>"
  KMR_PYVISA_SCRIPT="${_fixtures}/pyvisa_identity.py")
# The kmr-sim program itself, started by a test as its own process.
if(TARGET kmr-sim)
  add_dependencies(${target} kmr-sim)
  target_compile_definitions(${target} PRIVATE KMR_SIM_PROGRAM="$<TARGET_FILE:kmr-sim>")
endif()
# On Windows the stand-ins are DLLs exporting undecorated names, as the real drivers do (on 32-bit
# Windows the __stdcall names would otherwise carry "@n").
if(MINGW)
  foreach(_lib kmr_fake_gpib_thread kmr_fake_gpib_global kmr_fake_gpib_user kmr_fake_gpib_none
          kmr_fake_visa)
    target_link_options(${_lib} PRIVATE -Wl,--kill-at)
  endforeach()
endif()
