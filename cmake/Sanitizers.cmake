# QUORVANE_SANITIZE applies to everything built here, so libraries and tests agree on the runtime.
if(QUORVANE_SANITIZE)
  add_compile_options(-fsanitize=${QUORVANE_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${QUORVANE_SANITIZE})
endif()
