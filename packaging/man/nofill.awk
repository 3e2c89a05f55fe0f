# help2man turns an indented block without a description column (kestavo-cli's list of commands)
# into one filled paragraph, running the commands together; keep such blocks one line per line.
/^\.IP$/ { print; print ".nf"; inblock = 1; next }
inblock && /^\./ { print ".fi"; inblock = 0 }
{ print }
END { if (inblock) print ".fi" }
