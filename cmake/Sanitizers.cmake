# ZEMORI_SANITIZE: empty, "address" (ASan + UBSan) or "thread" (TSan).
set(ZEMORI_SANITIZE "" CACHE STRING "Sanitizer build: address or thread")
if(ZEMORI_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(ZEMORI_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
