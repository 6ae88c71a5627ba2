# corvane_add_version_record(<target>): gives <target> the version record that
# GetFileVersionInfoW reads back from the built file. Filled in by the kernel layer.
function(corvane_add_version_record target)
endfunction()
