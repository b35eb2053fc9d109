# OrvDrv101.sys, the access driver as a Windows kernel driver, for x64 and 32-bit Windows.
# Each image is built with its mingw-w64 compiler directly, whatever the configuration's
# own target: a kernel driver links nothing but ntoskrnl.exe (and libgcc's helpers), so the
# configuration's runtime, flags and libraries must not reach it. Both images are then
# embedded into the tool as data with their exact lengths (DriverImages.h).
set(kernel_dir ${CMAKE_CURRENT_LIST_DIR})
set(image_dir ${CMAKE_BINARY_DIR}/driver)
file(MAKE_DIRECTORY ${image_dir})
set(driver_sources ${kernel_dir}/OrvDrv101.cpp ${kernel_dir}/SecureDevice.cpp)
set(driver_depends ${driver_sources} ${kernel_dir}/KernelHeaders.h ${kernel_dir}/KernelMachine.h
    ${kernel_dir}/OrvDrv101.rc ${CMAKE_SOURCE_DIR}/src/hwaccess/DriverDispatch.h
    ${CMAKE_SOURCE_DIR}/src/hwaccess/DriverProtocol.h)
set(images)
# name, compiler triplet, entry symbol (stdcall-decorated on x86)
foreach(build "x64;x86_64-w64-mingw32;DriverEntry" "x86;i686-w64-mingw32;_DriverEntry@8")
  list(GET build 0 name)
  list(GET build 1 triplet)
  list(GET build 2 entry)
  set(image ${image_dir}/OrvDrv101-${name}.sys)
  add_custom_command(
    OUTPUT ${image}
    COMMAND ${triplet}-windres ${kernel_dir}/OrvDrv101.rc -O coff -o ${image_dir}/OrvDrv101-${name}.res.o
    COMMAND ${triplet}-g++ -std=c++20 -O2 -Wall -Wextra -Werror
            -ffreestanding -fno-exceptions -fno-rtti -fno-stack-protector -mno-red-zone
            -I${CMAKE_SOURCE_DIR}/src -isystem /usr/${triplet}/include/ddk
            -nostdlib -shared -s -Wl,--subsystem,native -Wl,--entry,${entry}
            -Wl,--dynamicbase -Wl,--nxcompat
            -o ${image} ${driver_sources} ${image_dir}/OrvDrv101-${name}.res.o -lntoskrnl -lgcc
    DEPENDS ${driver_depends}
    COMMENT "Building the kernel driver OrvDrv101.sys (${name})" VERBATIM)
  list(APPEND images ${image})
endforeach()

set(embedded ${image_dir}/DriverImages.cpp)
add_custom_command(
  OUTPUT ${embedded}
  COMMAND ${CMAKE_COMMAND} -DOUTPUT=${embedded} "-DIMAGES=${images}" "-DNAMES=X64;Nt32"
          -P ${CMAKE_SOURCE_DIR}/cmake/EmbedDriverImages.cmake
  DEPENDS ${images} ${CMAKE_SOURCE_DIR}/cmake/EmbedDriverImages.cmake
  COMMENT "Embedding the OrvDrv101.sys images" VERBATIM)
target_sources(gavrelo_hwaccess PRIVATE ${embedded})
target_compile_definitions(gavrelo_hwaccess PRIVATE GAVRELO_DRIVER_IMAGES)
# The images as files too, for the tests that install one directly.
add_custom_target(orvdrv101_images ALL DEPENDS ${images})
