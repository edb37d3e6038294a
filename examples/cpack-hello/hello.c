#include <stdio.h>

int main(void) {
  puts("Hello from a Tarn installer.");
  return 0;
}
