# Writes countries50.json, the map outline the report draws, from Natural
# Earth's 1:50m Admin 0 countries as Debian's r-cran-rnaturalearthdata ships
# them (apt-get install r-base-core r-cran-sp r-cran-rnaturalearthdata):
#
#   Rscript make-outline.R [R library folder] > countries50.json
#
# Each ring is simplified (Douglas-Peucker, 0.02 degrees: about 2 km, finer
# than a screen pixel until a county fills the window), its points rounded
# to 0.01 degrees and written as differences from the previous point:
# [dlon0, dlat0, dlon1, dlat1, ...] in hundredths of a degree, the first
# pair from 0,0. Rings with fewer than three points after that are left out.
suppressMessages(library(sp))
args <- commandArgs(trailingOnly = TRUE)
library_folder <- if (length(args) > 0) args[1] else "/usr/lib/R/site-library"
data <- new.env()
invisible(lazyLoad(file.path(library_folder, "rnaturalearthdata", "data", "Rdata"), envir = data))
countries <- get("countries50", envir = data)

tolerance <- 0.02
simplify <- function(xy) {
  n <- nrow(xy)
  if (n < 3) return(xy)
  keep <- logical(n)
  keep[c(1, n)] <- TRUE
  stack <- list(c(1, n))
  while (length(stack) > 0) {
    span <- stack[[length(stack)]]
    stack[[length(stack)]] <- NULL
    a <- span[1]
    b <- span[2]
    if (b - a < 2) next
    inner <- (a + 1):(b - 1)
    dx <- xy[b, 1] - xy[a, 1]
    dy <- xy[b, 2] - xy[a, 2]
    length2 <- dx * dx + dy * dy
    px <- xy[inner, 1] - xy[a, 1]
    py <- xy[inner, 2] - xy[a, 2]
    t <- if (length2 == 0) 0 else pmin(1, pmax(0, (px * dx + py * dy) / length2))
    distance2 <- (t * dx - px)^2 + (t * dy - py)^2
    worst <- which.max(distance2)
    if (distance2[worst] > tolerance * tolerance) {
      middle <- inner[worst]
      keep[middle] <- TRUE
      stack[[length(stack) + 1]] <- c(a, middle)
      stack[[length(stack) + 1]] <- c(middle, b)
    }
  }
  xy[keep, , drop = FALSE]
}

rings <- character(0)
for (country in countries@polygons) {
  for (ring in country@Polygons) {
    xy <- simplify(ring@coords)
    q <- round(xy * 100)
    same <- c(FALSE, q[-1, 1] == q[-nrow(q), 1] & q[-1, 2] == q[-nrow(q), 2])
    q <- q[!same, , drop = FALSE]
    if (nrow(q) < 3) next
    d <- q - rbind(c(0, 0), q[-nrow(q), , drop = FALSE])
    rings <- c(rings, paste0("[", paste(sprintf("%d,%d", as.integer(d[, 1]), as.integer(d[, 2])), collapse = ","), "]"))
  }
}
cat("[", paste(rings, collapse = ",\n"), "]\n", sep = "")
